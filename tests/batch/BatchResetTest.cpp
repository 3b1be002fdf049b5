// --reset: the board's RESET pressed by DTR and RTS, at start-up and for
// every "Push RESET.", in process against the simulated board, whose RESET
// and boot-mode pins hang on the modem lines (DTR off holds RESET, RTS on
// selects boot mode). Nobody presses the button here.
#include <gtest/gtest.h>

#include "link/ResetSequence.h"
#include "support/BatchBench.h"
#include "support/FrameEncoder.h"

namespace pelican::test {
namespace {

const char* kBootReset = "dtr:0,rts:1,delay:100,dtr:1";

// A board whose boot loader stopped answering before the run began.
sim::BoardConfig SilentFromTheStart() {
    sim::BoardConfig config;
    config.faults.silentFrom = {0x00, 1};
    return config;
}

TEST(BatchReset, AStartUpResetRevivesABoardThatStoppedAnswering) {
    CBatchBench bench(SilentFromTheStart());
    bench.m_pressReset = false;
    bench.m_sim.Board().Inject(Bytes(16, 0x00).data(), 16, 0);  // the last run's sync: silent since
    ASSERT_TRUE(bench.m_sim.Board().Silent());
    // A pulse without a pause is shorter than the part's RESET width: ignored.
    EXPECT_EQ(bench.Run({"--reset", "dtr:0,dtr:1", "version"}), 3);
    EXPECT_TRUE(bench.m_sim.Board().Silent());
    bench.m_sim.ClearReceived();
    EXPECT_EQ(bench.Run({"--reset", kBootReset, "version"}), 0) << bench.m_out << bench.m_err;
    EXPECT_EQ(bench.m_out, "Version: VER.1.00\n");
    EXPECT_EQ(bench.m_err,
              "port COM1\nreset by wire: dtr:0,rts:1,delay:100,dtr:1\nlink up at 9600 bps\n"
              "link returned to 9600 bps; port closed\n");
    // After the reset the program synchronised afresh: 9600 code, 16 zeros.
    const Bytes received = bench.m_sim.Received();
    ASSERT_GE(received.size(), 17u);
    EXPECT_EQ(Bytes(received.begin(), received.begin() + 17), wire::Sync());
}

TEST(BatchReset, APushResetInTheMiddleOfARunIsAnsweredByWire) {
    // The second status read (the action's link probe) finds the board silent.
    sim::BoardConfig config;
    config.faults.silentFrom = {0x70, 2};
    {
        // The status read that met the silence lost the link (the reset board
        // forgot its ID check: exit status 3), but the board came back: the
        // next action and the return to 9600 bps have their answers.
        CBatchBench bench(config);
        bench.m_pressReset = false;
        EXPECT_EQ(bench.Run({"--reset", kBootReset, "status", "version"}), 3);
        EXPECT_EQ(bench.m_out, "stop: Timeout. Push RESET.\nVersion: VER.1.00\n");
        EXPECT_EQ(bench.m_err,
                  "port COM1\nreset by wire: dtr:0,rts:1,delay:100,dtr:1\nlink up at 9600 bps\n"
                  "reset by wire: dtr:0,rts:1,delay:100,dtr:1\n"
                  "link returned to 9600 bps; port closed\n");
        EXPECT_FALSE(bench.m_sim.Board().Silent());
    }
    {
        // Nobody presses RESET and no wire does: the board stays silent.
        CBatchBench bench(config);
        bench.m_pressReset = false;
        EXPECT_EQ(bench.Run({"status", "version"}), 3) << bench.m_out << bench.m_err;
        EXPECT_EQ(bench.m_out.find("Version: VER"), std::string::npos) << bench.m_out;
        EXPECT_TRUE(bench.m_sim.Board().Silent());
    }
    {
        // Released with the boot-mode line off, the part runs its
        // application, which does not answer the boot loader's protocol.
        CBatchBench bench(config);
        bench.m_pressReset = false;
        EXPECT_EQ(bench.Run({"--reset", "rts:0,dtr:0,delay:100,dtr:1", "status", "version"}), 3);
        EXPECT_EQ(bench.m_out.find("Version: VER"), std::string::npos) << bench.m_out;
        EXPECT_NE(bench.m_err.find("do DTR and RTS reach its RESET and boot mode pins?"), std::string::npos)
            << bench.m_err;
    }
}

TEST(ResetSequence, WhatTheCommandLineTakes) {
    CResetSequence sequence;
    std::string error;
    ASSERT_TRUE(CResetSequence::Parse("DTR:0,rts:1,Delay:100,dtr:1", sequence, error)) << error;
    EXPECT_EQ(sequence.Text(), "dtr:0,rts:1,delay:100,dtr:1");
    ASSERT_EQ(sequence.Steps().size(), 4u);
    EXPECT_TRUE(sequence.Steps()[2].isDelay);
    EXPECT_EQ(sequence.Steps()[2].delayMs, 100u);
    const char* refused[] = {"", "dtr", "dtr:2", "rts:on", "delay:100", "delay:10001", "dtr:0,,dtr:1",
                             "dtr:0,", "cts:1", "delay:-1,dtr:1", "dtr:0 ,dtr:1"};
    for (const char* text : refused) EXPECT_FALSE(CResetSequence::Parse(text, sequence, error)) << text;
    CBatchBench bench;
    EXPECT_EQ(bench.Run({"--reset", "dtr:0,delay:x", "status"}), 2);
    EXPECT_TRUE(bench.m_sim.Received().empty());
}

}  // namespace
}  // namespace pelican::test
