// The next board: --wait looks for the port and the board's answer every
// second (on the virtual clock) before the job; --loop waits for the board
// to go and for the next, until Ctrl-C, which ends after the board in hand;
// --run-after starts the application by wire after a run that ended well.
#include <gtest/gtest.h>

#include <signal.h>

#include "batch/SignalNotes.h"
#include "support/FrameEncoder.h"
#include "support/GangBench.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

TEST(GangWait, APortThatAppearsLaterAndABoardThatAnswersLater) {
    CGangBench bench(1);
    CSimBench& sim = bench.Sim(0);
    // The adapter is plugged in at 3 s; the board hears the host from 5 s on.
    const uint64_t start = sim.Clock().NowMs();
    bench.Gate(0).present = [&sim, start](int) { return sim.Clock().NowMs() - start >= 3000; };
    bench.Gate(0).listening = [&sim, start] { return sim.Clock().NowMs() - start >= 5000; };
    EXPECT_EQ(bench.Run({"--wait", "version"}), kExitDone);
    EXPECT_EQ(bench.m_out, (std::vector<std::string>{"Version: VER.1.00"}));
    // Told once, however long the wait; then the run's own account.
    EXPECT_EQ(bench.m_err, (std::vector<std::string>{"pelican: waiting for a board on COM1", "pelican: port COM1",
                                                     "pelican: link up at 9600 bps",
                                                     "pelican: link returned to 9600 bps; port closed"}));
    // Looks at 0, 1 and 2 s found no port, at 3 and 4 s a deaf board, at
    // 5 s its answer; then the run opened the port once.
    EXPECT_EQ(bench.Gate(0).attempts, 7);
    // The board heard the look's synchronisation, then the run's own.
    const Bytes received = sim.Received();
    ASSERT_GE(received.size(), 34u);
    EXPECT_EQ(Bytes(received.begin(), received.begin() + 17), wire::Sync());
    EXPECT_EQ(Bytes(received.begin() + 17, received.begin() + 34), wire::Sync());
}

TEST(GangWait, ALoopEndsAfterTheBoardInHandOnCtrlC) {
    CGangBench bench(1);
    const std::string program = WriteProgramFiles(bench.m_dir);
    CSimBench& sim = bench.Sim(0);
    CGatedDevice::Gate& gate = bench.Gate(0);
    // Opens: 1 the look, 2 the first board's run; 3 and 4 find the port gone
    // (the board taken away, a fresh one put in); 5 the look, 6 its run.
    gate.present = [&sim](int attempt) {
        if (attempt == 3) sim.Board().Poke(0x0C0000, {0xFF, 0xFF});  // the next board is blank
        return attempt != 3 && attempt != 4;
    };
    // Ctrl-C as the second board's page goes out.
    gate.onWrite = [&gate](const uint8_t* data, size_t length) {
        if (gate.attempts == 6 && length > 0 && data[0] == 0x41) NoteSignal(SIGINT, true);
    };
    EXPECT_EQ(bench.Run({"--loop", "-f", program, "-y", "program"}), kExitDone);
    EXPECT_EQ(sim.Board().Peek(0x0C0000, 2), (Bytes{0x11, 0x22}));
    EXPECT_EQ(gate.attempts, 6);  // nothing was looked for after the board in hand
    ASSERT_EQ(bench.m_results.size(), 2u);
    EXPECT_EQ(bench.m_results[0].status, kExitDone);
    EXPECT_EQ(bench.m_results[1].status, kExitDone);
    EXPECT_EQ(CGangBench::Starting(bench.m_out, "information: "),
              (std::vector<std::string>{"Program OK.", "Program OK."}));
    EXPECT_EQ(CGangBench::Starting(bench.m_out, "COM1  ").size(), 2u);  // the table's rows
}

TEST(GangWait, RunAfterOnlyAfterARunThatEndedWell) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> lines;  // the modem-line changes, in turn
        const char* told;                // a line of the account
    } cases[] = {
        {"after a good run", {"version"}, kExitDone, {"dtr:0", "rts:0", "dtr:1"},
         "pelican: run-after by wire: dtr:0,rts:0,delay:100,dtr:1"},
        {"not after a failed one", {"-f", "missing.mot", "program"}, kExitFailed, {}, nullptr},
    };
    for (const auto& c : cases) {
        CGangBench bench(1);
        std::vector<std::string> args = {"--wait", "--run-after", "dtr:0,rts:0,delay:100,dtr:1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(bench.Run(args), c.status) << c.name;
        EXPECT_EQ(bench.Gate(0).lines, c.lines) << c.name;
        if (c.told != nullptr) {
            // Told while the port is still open, before it closes.
            ASSERT_GE(bench.m_err.size(), 2u);
            EXPECT_EQ(bench.m_err[bench.m_err.size() - 2], c.told) << c.name;
        }
    }
}

}  // namespace
}  // namespace pelican::test
