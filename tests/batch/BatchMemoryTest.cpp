// Erase and blank check in batch mode, in process against the simulated
// board: what is printed, what standard error says, how it exits.
#include <gtest/gtest.h>
#include <signal.h>

#include "support/BatchBench.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

// A program file whose ID file holds the board's ID: start-up passes the ID.
TEST(BatchMemory, ActionsOutputAndExitStatus) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        bool notBlank;       // the board holds 7F at 0C0105
        bool silentReads;    // the board stops answering at the first page read
        int status;
        std::string out;
        std::string err;     // standard error between the link's first and last lines
    } cases[] = {
        {"erase with -y", {"-y", "erase"}, false, false, 0, "information: Erase OK.\n", ""},
        {"erase without -y is cancelled", {"erase"}, false, false, 1, "", "\"Erase?\" was answered Cancel: standard input is not a terminal to ask on; --yes answers OK\n"},
        {"blank range from -r", {"blank", "-r", "C0000-C01FF"}, false, false, 0, "", "0C0000-0C01FF is blank\n"},
        {"blank over the file's range", {"blank"}, false, false, 0, "", "0C0000-0C00FF is blank\n"},
        {"not blank", {"blank", "-r", "C0000-C01FF"}, true, false, 1, "none: Find not blank at address 0C0105\n",
         ""},
        {"past the address space", {"blank", "-r", "C0000-1000000"}, false, false, 1,
         "exclamation: Too large address. The highest address is FFFFFF.\n", ""},
        {"the link lost in a page read", {"blank", "-r", "C0000-C01FF"}, false, true, 3,
         "stop: Timeout. Push RESET.\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        if (c.silentReads) config.faults.silentFrom = {0xFF, 1};
        CBatchBench bench(config);
        if (c.notBlank) bench.m_sim.Board().Poke(0x0C0105, {0x7F});
        EXPECT_EQ(bench.Run(WithFile(bench, c.args)), c.status);
        EXPECT_EQ(bench.m_out, c.out);
        EXPECT_EQ(bench.m_err, Err(c.err));
        EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    }
}

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST(BatchMemory, CtrlCCancelsTheCheckAndEndsWith130AtTheStandingRate) {
    CBatchBench bench;
    bench.StoreRate(38400);
    // Ctrl-C arrives while the second page is being read.
    bench.m_sim.RaiseAt(0xFF, 2, SIGINT);
    EXPECT_EQ(bench.Run(WithFile(bench, {"blank", "-r", "C0000-C0FFF"})), 130);
    EXPECT_EQ(bench.m_sim.FramesOf(0xFF), 2u);
    EXPECT_EQ(bench.m_out, "");
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    EXPECT_NE(bench.m_err.find("link returned to 9600 bps"), std::string::npos) << bench.m_err;
}
#endif  // POSIX

}  // namespace
}  // namespace pelican::test
