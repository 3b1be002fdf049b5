#pragma once
// The program file most batch and gang runs take, and the ".id" file beside
// it that names the simulated board's own ID; the boot program the
// boot-loader target downloads.
#include <string>
#include <vector>

namespace pelican::test {

class CBatchBench;
class CTempDir;

// 11 22 at 0C0000, then the S9 end.
inline constexpr const char* kProgramRecords = "S2060C00001122BA\nS9030000FC\n";

// 00 to 0F at 0000 and F0 to FF at 01F0: the first and last lines of two
// pages, then the S9 end.
inline constexpr const char* kBootRecords =
    "S1130000000102030405060708090A0B0C0D0E0F74\nS11301F0F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF83\nS9030000FC\n";

// Writes prog.mot (the records) and prog.id to the folder; the path of prog.mot.
std::string WriteProgramFiles(const CTempDir& dir, const std::string& records = kProgramRecords);

// The arguments with "-f prog.mot" in front, the files written to the bench's folder.
std::vector<std::string> WithFile(CBatchBench& bench, std::vector<std::string> args,
                                  const std::string& records = kProgramRecords);

// The arguments with "-t boot -f boot.btp" in front, the boot program written to the bench's folder.
std::vector<std::string> WithBootProgram(CBatchBench& bench, std::vector<std::string> args);

}  // namespace pelican::test
