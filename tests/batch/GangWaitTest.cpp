// The next board: --wait looks for the port and the board's answer every
// second (on the virtual clock) before the job; --loop waits for the board
// to go and for the next, until Ctrl-C, which ends after the board in hand;
// --run-after starts the application by wire after a run that ended well.
#include <gtest/gtest.h>

#include <signal.h>

#include <set>

#include "lifecycle/SignalNotes.h"
#include "support/FrameEncoder.h"
#include "support/GangBench.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

TEST(GangWait, APortThatAppearsLaterAndABoardThatAnswersLater) {
    CGangBench bench(1);
    CSimBench& sim = bench.Sim(0);
    // The adapter is plugged in at 3 s; the board hears the host from 6 s on.
    const uint64_t start = sim.Clock().NowMs();
    bench.Gate(0).present = [&sim, start](int) { return sim.Clock().NowMs() - start >= 3000; };
    bench.Gate(0).listening = [&sim, start] { return sim.Clock().NowMs() - start >= 6000; };
    EXPECT_EQ(bench.Run({"--wait", "version"}), kExitDone);
    EXPECT_EQ(bench.m_out, (std::vector<std::string>{"Version: VER.1.00"}));
    // Told once, however long the wait; then the run's own account.
    EXPECT_EQ(bench.m_err, (std::vector<std::string>{"pelican: waiting for a board on COM1", "pelican: port COM1",
                                                     "pelican: link up at 9600 bps",
                                                     "pelican: link returned to 9600 bps; port closed"}));
    // Each look is followed by a second with the port closed: looks at 0, 1
    // and 2 s found no port, at 3 and 4.7 s a deaf board (no answer within
    // 0.7 s), at 6.4 s its answer; then the run opened the port once.
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
    EXPECT_EQ(CGangBench::Starting(bench.m_err, "pelican: SIGINT: "),
              (std::vector<std::string>{"the boards in work finish their job, then the line stops; Ctrl-C again stops them"}));
    EXPECT_EQ(gate.attempts, 6);  // nothing was looked for after the board in hand
    ASSERT_EQ(bench.m_results.size(), 2u);
    EXPECT_EQ(bench.m_results[0].status, kExitDone);
    EXPECT_EQ(bench.m_results[1].status, kExitDone);
    EXPECT_EQ(CGangBench::Starting(bench.m_out, "information: "),
              (std::vector<std::string>{"Program OK.", "Program OK."}));
    EXPECT_EQ(CGangBench::Starting(bench.m_out, "COM1  ").size(), 2u);  // the table's rows
}

TEST(GangWait, ALoopProgramsTheNextBoardOnlyOnceTheBoardHasGone) {
    // After the first board's run (opens 1 and 2) every open is a look for
    // it to go, one a second with the port closed in between, until the
    // signal noted at the open stopAt; a look at a new board and its run
    // take two opens more.
    const struct {
        const char* name;
        std::set<int> silent;  // opens whose board does not answer
        std::set<int> held;    // opens another program has the port at
        std::set<int> absent;  // opens that find no port
        int stopAt;
        int signal;
        size_t runs;
        int status;
        // What is said of the port held (once however long) and free again.
        std::vector<std::string> heldTold;
    } cases[] = {
        {"one look without an answer", {3}, {}, {}, 8, SIGINT, 1, kExitDone, {}},
        {"a board busy for three looks, 4 s", {3, 4, 5}, {}, {}, 8, SIGINT, 1, kExitDone, {}},
        {"another program holds the port", {}, {3, 4, 5, 6}, {}, 8, SIGINT, 1, kExitDone,
         {"in use by minicom (pid 4242)", "free again"}},
        {"held while it waits for the next board", {}, {4, 5}, {3}, 8, SIGINT, 2, kExitDone,
         {"in use by minicom (pid 4242)", "free again"}},
        {"silent for four looks, over 5 s: gone", {3, 4, 5, 6}, {}, {}, 9, SIGINT, 2, kExitDone, {}},
        {"the port goes away", {}, {}, {3, 4}, 7, SIGINT, 2, kExitDone, {}},
        {"SIGTERM while it waits for the board to go", {}, {}, {}, 4, SIGTERM, 1, kExitSignalBase + SIGTERM, {}},
        {"SIGTERM while it waits for the next board", {}, {}, {3, 4}, 4, SIGTERM, 1, kExitSignalBase + SIGTERM, {}},
    };
    for (const auto& c : cases) {
        CGangBench bench(1);
        // Where the system tells who has the port (Linux, from /proc).
        bench.m_survey = [] {
            PortSurvey survey;
            survey.ports.resize(1);
            survey.ports[0].path = "COM1";
            survey.ports[0].holders = {{"minicom", 4242}};
            return survey;
        };
        const std::string program = WriteProgramFiles(bench.m_dir);
        CGatedDevice::Gate& gate = bench.Gate(0);
        gate.refused = [&c](int attempt) {
            if (attempt == c.stopAt) NoteSignal(c.signal, true);
            return c.held.count(attempt) != 0 ? EBUSY : 0;
        };
        gate.present = [&c](int attempt) { return c.absent.count(attempt) == 0; };
        gate.listening = [&c, &gate] { return c.silent.count(gate.attempts) == 0; };
        EXPECT_EQ(bench.Run({"--loop", "-f", program, "-y", "program"}), c.status) << c.name;
        EXPECT_EQ(gate.attempts, c.stopAt) << c.name;  // nothing looked at after the signal
        EXPECT_EQ(bench.m_results.size(), c.runs) << c.name;
        EXPECT_EQ(CGangBench::Starting(bench.m_out, "information: ").size(), c.runs) << c.name;
        EXPECT_EQ(CGangBench::Starting(bench.m_err, "pelican: COM1 is "), c.heldTold) << c.name;
    }
}

TEST(GangWait, APortThatCanNeverBeOpenedIsToldAtOnce) {
    CGangBench bench(1);
    // A Ctrl-C at the third open ends a wait that would go on for ever.
    bench.Gate(0).refused = [](int attempt) {
        if (attempt == 3) NoteSignal(SIGINT, true);
        return ENOTTY;
    };
    EXPECT_EQ(bench.Run({"--wait", "version"}), kExitNoLink);
    EXPECT_EQ(bench.Gate(0).attempts, 1);
#ifdef _WIN32
    const std::string why = "pelican: cannot open COM1: not a serial port";
#else
    const std::string why = "pelican: cannot open COM1 (/dev/ttyS0): not a serial device";
#endif
    EXPECT_EQ(bench.m_err, (std::vector<std::string>{"pelican: waiting for a board on COM1", why}));
    EXPECT_TRUE(bench.m_out.empty());
    EXPECT_TRUE(bench.Sim(0).Received().empty());
}

TEST(GangWait, NoQuestionAtAStationThatWaits) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        int attempts;
        std::vector<std::string> questions;
    } cases[] = {
        // The board answered the look, then missed the run's
        // synchronisation: looked for again, not "press Enter".
        {"a first synchronisation that fails", {"--wait", "-f", "", "-y", "program"}, kExitDone, 4, {}},
        // Ctrl-C at a question stops a loop there: nothing is erased or
        // programmed, and no board is looked for after it.
        {"Ctrl-C at Erase?", {"--loop", "-f", "", "erase", "program"}, kExitSignalBase + SIGINT, 2, {"Erase? [y/N] "}},
    };
    for (const auto& c : cases) {
        CGangBench bench(1);
        std::vector<std::string> args = c.args;
        args[2] = WriteProgramFiles(bench.m_dir);
        CGatedDevice::Gate& gate = bench.Gate(0);
        if (c.status == kExitDone) gate.listening = [&gate] { return gate.attempts != 2; };
        std::vector<std::string> questions;
        bench.m_prepare = [&questions](size_t, CBatchRunner& runner) {
            runner.m_questions.m_interactive = true;
            runner.m_questions.m_ask = [&questions](const std::string& question, std::string&) {
                questions.push_back(question);
                NoteSignal(SIGINT, true);  // typed at the question
                return false;
            };
        };
        EXPECT_EQ(bench.Run(args), c.status) << c.name;
        EXPECT_EQ(questions, c.questions) << c.name;
        EXPECT_EQ(gate.attempts, c.attempts) << c.name;
        ASSERT_EQ(bench.m_results.size(), 1u) << c.name;
        EXPECT_EQ(bench.m_results[0].status, c.status) << c.name;
        const Bytes received = bench.Sim(0).Received();
        EXPECT_EQ(std::count(received.begin(), received.end(), 0x41) > 0, c.status == kExitDone) << c.name;
        EXPECT_EQ(std::count(received.begin(), received.end(), 0xA7), 0) << c.name;
    }
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
