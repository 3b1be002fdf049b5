#include "support/ProgramFiles.h"

#include "support/BatchBench.h"
#include "support/IdFileText.h"
#include "support/TempDir.h"

namespace pelican::test {

std::string WriteProgramFiles(const CTempDir& dir, const std::string& records) {
    dir.Write("prog.mot", records);
    dir.Write("prog.id", kIdFile);
    return dir.File("prog.mot");
}

std::vector<std::string> WithFile(CBatchBench& bench, std::vector<std::string> args, const std::string& records) {
    args.insert(args.begin(), {"-f", WriteProgramFiles(bench.m_dir, records)});
    return args;
}

std::vector<std::string> WithBootProgram(CBatchBench& bench, std::vector<std::string> args) {
    bench.m_dir.Write("boot.btp", kBootRecords);
    args.insert(args.begin(), {"-t", "boot", "-f", bench.m_dir.File("boot.btp")});
    return args;
}

}  // namespace pelican::test
