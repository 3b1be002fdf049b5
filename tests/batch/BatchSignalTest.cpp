// How batch mode ends when the link cannot be brought back to 9600 bps, and
// when a signal comes in the middle of an exchange: in process, on the
// virtual clock, the signal raised as the board takes a given frame.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>

#include "support/BatchBench.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

// What the board took after the n-th frame starting with code.
Bytes After(CBatchBench& bench, uint8_t code) {
    const Bytes all = bench.m_sim.Received();
    const auto at = std::find(all.begin(), all.end(), code);
    return at == all.end() ? Bytes{} : Bytes(at + 1, all.end());
}

const std::string kNeedsReset =
    "the board did not confirm 9600 bps: it needs a RESET (in boot mode) before the next run; port closed\n";

TEST(BatchSignal, AFailedReturnTo9600AtTheCloseStepEndsWithThree) {
    // The board stops answering at the close step's first code (the third
    // B4: the start-up's change sent two).
    sim::BoardConfig config;
    config.faults.silentFrom = {0xB4, 3};
    CBatchBench bench(config);
    EXPECT_EQ(bench.Run({"-b", "115200", "version"}), 3);
    EXPECT_EQ(bench.m_out, "Version: VER.1.00\nwarning: Can not set baudrate to 9600bps.\n");
    EXPECT_EQ(bench.m_err.substr(bench.m_err.size() - kNeedsReset.size()), kNeedsReset) << bench.m_err;
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 115200u);

    CBatchBench json(config);
    EXPECT_EQ(json.Run({"--json", "-b", "115200", "version"}), 3);
    const std::string last = R"({"event":"exit","port":"COM1","status":3,"outcome":"not at 9600 bps"})"
                             "\n";
    EXPECT_EQ(json.m_out.substr(json.m_out.size() - last.size()), last) << json.m_out;
}

TEST(BatchSignal, ASignalLetsTheExchangeInFlightFinishThenReturnsTo9600) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        uint8_t code;  // the frame the signal comes with
        int n;
        int signal;
        const char* signalName;
        int status;  // 128 and the signal's number, as a shell sees it
        uint32_t rate;
        std::string waiting;  // what standard error says is waited for
        Bytes back;           // what the board took after the reply came
    } cases[] = {
        // The board reads nothing while it erases (40 s allowed).
        {"SIGTERM during the erase", {"-y", "-b", "115200", "erase"}, 0xA7, 1, SIGTERM, "SIGTERM", 143, 115200,
         "SIGTERM: waiting for the erase to finish, up to 40 s", {0xB4, 0xB0, 0xB0}},
        // Standard output closed under it (pelican ... | head -1).
        {"SIGPIPE during the erase", {"-y", "-b", "115200", "erase"}, 0xA7, 1, SIGPIPE, "SIGPIPE", 141, 115200,
         "SIGPIPE: waiting for the erase to finish, up to 40 s", {0xB4, 0xB0, 0xB0}},
        // A page takes 133 ms to come at 19200 bps.
        {"SIGHUP during a page read", {"-b", "19200", "read", "-r", "C0000-C0FFF"}, 0xFF, 2, SIGHUP, "SIGHUP", 129, 19200,
         "SIGHUP: waiting for the page being read, up to 5 s", {0xB1, 0xB0, 0xB0}},
        // Taken at 9600 bps, echoed, and the board then moves: the change
        // ends with the echo at the new rate before the way back starts.
        {"SIGTERM as the board takes the new rate's code", {"-b", "115200", "version"}, 0xB4, 1, SIGTERM, "SIGTERM",
         143, 115200, "SIGTERM: waiting for the board's answer, up to 5 s", {0xB4, 0xB0, 0xB0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CBatchBench bench;
        bench.m_sim.Board().Poke(0x0C0000, {0x11, 0x22});  // the file's bytes
        bench.m_sim.RaiseAt(c.code, c.n, c.signal);
        EXPECT_EQ(bench.Run(WithFile(bench, c.args)), c.status);
        EXPECT_EQ(bench.m_out, "");  // no "Can not set baudrate to 9600bps."
        EXPECT_NE(bench.m_err.find(c.waiting + "; Ctrl-C again to leave the board as it is\n" + c.signalName +
                                   ": returning the link to 9600 bps\nlink at 9600 bps; port closed\n"),
                  std::string::npos)
            << bench.m_err;
        // The reply was taken, then the rate went back: code of the rate in
        // force, B0, and B0 confirmed at 9600.
        const Bytes after = After(bench, c.code);
        ASSERT_GE(after.size(), 3u);
        EXPECT_EQ(Bytes(after.end() - 3, after.end()), c.back);
        EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    }
}

TEST(BatchSignal, ASignalInALongPageIntervalEndsTheRunWithoutWaitingItOut) {
    // In a 20 s interval after the first page: its status is read once the
    // usual 40 ms are over, and the run ends as a signal in the page loop
    // ends it.
    const struct {
        const char* name;
        uint64_t intoMs;  // after the board took the page
        int signal;
        int status;
        std::string out;
        std::string end;  // the end of standard error
        long pages;       // page frames sent
        Bytes last;       // the last frame the board took
    } cases[] = {
        // The loop looks at its Cancel after sending the next page; the run
        // then closes as after any action, B0 confirming 9600 bps.
        {"the first Ctrl-C", 1000, SIGINT, 130, "information: Stop programming.\n",
         "link returned to 9600 bps; port closed\n", 2, {0xB0}},
        // Ended at the status read's end; the link was at 9600 bps already.
        {"SIGTERM", 1000, SIGTERM, 143, "",
         "SIGTERM: returning the link to 9600 bps\nlink at 9600 bps; port closed\n", 1, {0x70}},
        {"the first Ctrl-C as the page is taken", 0, SIGINT, 130, "information: Stop programming.\n",
         "link returned to 9600 bps; port closed\n", 2, {0xB0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CBatchBench bench;
        uint64_t takenAt = 0;
        uint64_t signalledAt = 0;
        bench.m_sim.Board().SetFrameObserver([&](const sim::SimFrame& frame) {
            if (frame.bytes[0] == 0x41 && takenAt == 0) takenAt = bench.m_sim.Clock().NowMs();
        });
        bench.m_onWait = [&] {
            if (takenAt == 0 || signalledAt != 0 || bench.m_sim.Clock().NowMs() < takenAt + c.intoMs) return;
            signalledAt = bench.m_sim.Clock().NowMs();
            ::raise(c.signal);
        };
        EXPECT_EQ(bench.Run(WithFile(bench, {"-y", "-i", "20000", "program", "-r", "C0000-C03FF"})), c.status);
        EXPECT_EQ(bench.m_out, c.out) << bench.m_err;
        ASSERT_GE(bench.m_err.size(), c.end.size());
        EXPECT_EQ(bench.m_err.substr(bench.m_err.size() - c.end.size()), c.end) << bench.m_err;
        const auto frames = bench.m_sim.Board().Frames();
        EXPECT_EQ(bench.m_sim.FramesOf(0x41), c.pages);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back().bytes, c.last);
        // The first page's status: never before the usual interval is over.
        const auto page = std::find_if(frames.begin(), frames.end(),
                                       [](const sim::SimFrame& frame) { return frame.bytes[0] == 0x41; });
        ASSERT_TRUE(page != frames.end() && page + 1 != frames.end());
        EXPECT_EQ(page[1].bytes, (Bytes{0x70}));
        EXPECT_GE(page[1].timeUs - page->timeUs, std::max<uint64_t>(c.intoMs, 40) * 1000);
        // The interval's 19 s left were not waited out: what took time
        // after the signal is the run's end (the close step's pauses).
        ASSERT_NE(signalledAt, 0u);
        EXPECT_LT(bench.m_sim.Clock().NowMs() - signalledAt, 5000u);
        EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    }
}

TEST(BatchSignal, ASecondSignalInTheWaitLeavesTheBoardAsItIs) {
    sim::BoardConfig config;
    config.eraseMs = 30000;
    CBatchBench bench(config);
    bench.m_sim.RaiseAt(0xA7, 1, SIGTERM);
    bench.m_onReport = [](const std::string& line) {
        if (line.find("waiting for") != std::string::npos) ::raise(SIGINT);
    };
    const uint64_t before = bench.m_sim.Clock().NowMs();
    EXPECT_EQ(bench.Run(WithFile(bench, {"-y", "-b", "115200", "erase"})), 3);
    EXPECT_EQ(bench.m_out, "");
    const std::string last =
        "SIGTERM: waiting for the erase to finish, up to 40 s; Ctrl-C again to leave the board as it is\n"
        "signal given again (after SIGTERM): the board was left as it is; it needs a RESET (in boot mode) before "
        "the next run; port closed\n";
    EXPECT_EQ(bench.m_err.substr(bench.m_err.size() - std::min(last.size(), bench.m_err.size())), last) << bench.m_err;
    // At once: long before the erase is over, and nothing sent after it.
    EXPECT_LT(bench.m_sim.Clock().NowMs() - before, 20000u);
    EXPECT_EQ(After(bench, 0xA7), (Bytes{0xD0, 0x70}));
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 115200u);
}

}  // namespace
}  // namespace pelican::test
