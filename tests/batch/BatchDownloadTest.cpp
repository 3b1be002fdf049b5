// "download" in batch mode on the boot-loader target, in process against the
// simulated board: what is printed, what standard error says, how it exits.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>

#include "support/BatchBench.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

TEST(BatchDownload, ActionsOutputAndExitStatus) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        int answer;  // the second byte of the boot loader's answer; -1 as it comes
        int status;
        std::string out;
        std::string err;  // standard error between the link's first and last lines
    } cases[] = {
        {"with -y", {"-y", "download"}, -1, 0, "none: Download Completed.\n", ""},
        // The status read after the change finds the ID check never tried,
        // as on every boot-loader device; the file chosen still stands.
        {"after a change to 115200", {"-b", "115200", "-y", "-r", "0000-29FF", "download"}, -1, 0,
         "none: Download Completed.\n", "link up at 115200 bps\n"},
        {"without -y Download? is cancelled", {"download"}, -1, 1, "none: Stop downloading.\n", "\"Download?\" was answered Cancel: standard input is not a terminal to ask on; --yes answers OK\n"},
        {"end 2A00", {"-y", "download", "-r", "0-2A00"}, -1, 1,
         "exclamation: Too higher end address(0x2A00)\n", ""},
        {"not taken", {"-y", "download"}, 0x01, 1, "exclamation: Download not completed. Please retry Download.\n",
         ""},
        {"an answer that is neither", {"-y", "download"}, 0x02, 0, "",
         "the board answered the download with neither \"completed\" nor \"not completed\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config = BootBoard();
        if (c.answer >= 0) {
            config.faults.wrongReply = {0xFA, 1};
            config.faults.wrongIndex = 1;
            config.faults.wrongValue = static_cast<uint8_t>(c.answer);
        }
        CBatchBench bench(config);
        EXPECT_EQ(bench.Run(WithBootProgram(bench, c.args)), c.status);
        EXPECT_EQ(bench.m_out, c.out);
        EXPECT_EQ(bench.m_err, Err(c.err));
        EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    }
}

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST(BatchDownload, CtrlCCutsTheTransferAndTheBoardLeftMidTransferEndsWithThree) {
    CBatchBench bench(BootBoard());
    // Ctrl-C arrives with the main window's probe before the download: the
    // first page goes out, then the transfer stops.
    bench.m_sim.RaiseAt(0x70, 2, SIGINT);
    // What follows depends on the board: this one still takes the return
    // to 9600 bps as program bytes, so the run cannot end as interrupted
    // "after the link was back at 9600 bps".
    EXPECT_EQ(bench.Run(WithBootProgram(bench, {"-y", "download"})), 3);
    EXPECT_EQ(bench.m_out.rfind("information: Stop downloading.\n", 0), 0u) << bench.m_out;
    EXPECT_NE(bench.m_err.find("the board did not confirm 9600 bps: it needs a RESET (in boot mode) before the next "
                               "run; port closed\n"),
              std::string::npos)
        << bench.m_err;
    // One frame: the header and the first page, no answer awaited.
    const Bytes received = bench.m_sim.Board().ReceivedBytes();
    const auto download = std::find(received.begin(), received.end(), 0xFA);
    ASSERT_NE(download, received.end());
    EXPECT_GE(received.end() - download, 260);
    EXPECT_LT(received.end() - download, 260 + 256);
}
#endif  // POSIX

}  // namespace
}  // namespace pelican::test
