#pragma once
// The program file most batch and gang runs take, and the ".id" file beside
// it that names the simulated board's own ID.
#include <string>
#include <vector>

namespace pelican::test {

class CBatchBench;
class CTempDir;

// 11 22 at 0C0000, then the S9 end.
inline constexpr const char* kProgramRecords = "S2060C00001122BA\nS9030000FC\n";

// Writes prog.mot (the records) and prog.id to the folder; the path of prog.mot.
std::string WriteProgramFiles(const CTempDir& dir, const std::string& records = kProgramRecords);

// The arguments with "-f prog.mot" in front, the files written to the bench's folder.
std::vector<std::string> WithFile(CBatchBench& bench, std::vector<std::string> args,
                                  const std::string& records = kProgramRecords);

}  // namespace pelican::test
