// Program, read check, E.P.R. and B.P.R. in batch mode, in process against
// the simulated board: what is printed, what standard error says, how it
// exits and what the flash holds afterwards.
#include <gtest/gtest.h>

#include "support/BatchBench.h"
#include "support/ProgramFiles.h"
#include "support/SRecordText.h"

namespace pelican::test {
namespace {

TEST(BatchProgram, ActionsOutputAndExitStatus) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        void (*setUp)(sim::BoardConfig&);
        int status;
        std::string out;
        std::string err;  // standard error between the link's first and last lines
    } cases[] = {
        {"program with -y", {"-y", "program"}, nullptr, 0, "information: Program OK.\n", ""},
        {"program without -y stops", {"program"}, nullptr, 1, "none: Stop programming.\n", "\"Program next area. 0C0000 to 0C00FF?\" was answered Cancel: standard input is not a terminal to ask on; --yes answers OK\n"},
        {"program, then read the file's range", {"-y", "program", "read"}, nullptr, 0, "information: Program OK.\n",
         "0C0000-0C00FF matches the file (2 bytes of data compared)\n"},
        {"read of an erased board", {"read"}, nullptr, 1, "none: Find not match at address 0C0000\n", ""},
        {"program error", {"-y", "program"}, [](sim::BoardConfig& c) { c.faults.programFailPage = 0x0C0000; }, 1,
         "stop: Program error.\n", ""},
        // The first page's status never comes; the board, reset as told,
        // reads clear afterwards, and the lost page is still an error.
        {"a page status lost", {"-y", "program"}, [](sim::BoardConfig& c) { c.faults.silentFrom = {0x70, 5}; }, 3,
         "stop: Timeout. Push RESET.\nstop: Program error.\n", ""},
        {"epr", {"-y", "epr"}, nullptr, 0, "information: Program OK.\n", ""},
        {"bpr", {"-y", "bpr", "-r", "C0000-C01FF"}, nullptr, 0, "information: Program OK.\n", ""},
        {"bpr without -y stops before programming", {"bpr"}, nullptr, 1, "none: Stop programming.\n", "\"Program next area. 0C0000 to 0C00FF?\" was answered Cancel: standard input is not a terminal to ask on; --yes answers OK\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        if (c.setUp) c.setUp(config);
        CBatchBench bench(config);
        EXPECT_EQ(bench.Run(WithFile(bench, c.args)), c.status);
        EXPECT_EQ(bench.m_out, c.out);
        EXPECT_EQ(bench.m_err, Err(c.err));
        EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    }
}

TEST(BatchProgram, EprOfA64KiBFileLeavesTheFlashEqualToIt) {
    CBatchBench bench;
    const auto data = PatternBytes(0x10000);
    EXPECT_EQ(bench.Run(WithFile(bench, {"-y", "-b", "115200", "epr"}, SRecordText(0x0C0000, data))), 0);
    EXPECT_EQ(bench.m_out, "information: Program OK.\n");
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, data.size()), data);
    // Every page went out once and came back once.
    size_t frames = 0, reads = 0;
    for (const auto& frame : bench.m_sim.Board().Frames()) {
        frames += frame.bytes[0] == 0x41 ? 1 : 0;
        reads += frame.bytes[0] == 0xFF && frame.bytes.size() == 3 ? 1 : 0;
    }
    EXPECT_EQ(frames, 256u);
    EXPECT_EQ(reads, 256u);
}

}  // namespace
}  // namespace pelican::test
