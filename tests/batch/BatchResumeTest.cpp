// --retries and the board's RESET: a job goes on after a failed exchange only
// when the board is known to have been reset, and then only on what the
// board's status and two agreeing reads prove. In process against the
// simulated board, whose reply to the second page's status comes too late
// (its 150 ms time-out runs out, the board itself goes on answering).
#include <gtest/gtest.h>

#include "batch/RetryBench.h"

namespace pelican::test {
namespace {

const char* const kNoReset =
    "--retries: nothing resets the board here (no --reset, no terminal to press RESET on), so a failure that "
    "needs a reset ends the run; pages read again and an E.P.R. started over still go on";

// The board's status reply to the n-th Read status comes 200 ms late.
void LateStatus(sim::BoardConfig& config, unsigned n) {
    config.faults.lateReply = {0x70, n};
    config.faults.lateMs = 200;
}

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(BatchResume, OnlyAfterAResetThatHappened) {
    const struct {
        const char* name;
        bool terminal;  // a person answers "Reset the board, then press Enter." (without resetting it)
        std::vector<std::string> args;
        int status;
        std::string out;
        bool toldOnce;
        size_t programFrames;
        size_t idFrames;
    } cases[] = {
        // Before, the run took its retry as if the board had been reset,
        // gave the ID again and ended 0 over whatever the cut frame left.
        {"no reset: E.P.R. ends as without retries", false, {"--retries", "2", "-y", "epr"}, 3,
         std::string(kTimeout) + kError, true, 2, 1},
        {"no reset: program ends as without retries", false, {"--retries", "2", "-y", "program"}, 3,
         std::string(kTimeout) + kError, true, 2, 1},
        // Enter at the terminal counts as the reset. The board kept its ID
        // check (it was not really reset): no ID frame is sent again.
        {"Enter at the terminal: the job goes on", true, {"--retries", "1", "-y", "epr"}, 0,
         std::string(kTimeout) + kOk, false, 3, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        LateStatus(config, (c.args.back() == "epr" ? kEprPageStatus : kProgramPageStatus) + 2);
        CBatchBench bench(config);
        bench.m_pressReset = false;
        bench.m_interactive = c.terminal;
        bench.m_answers = {""};
        EXPECT_EQ(bench.Run(WithPages(bench, c.args)), c.status) << bench.m_out << bench.m_err;
        EXPECT_EQ(bench.m_out, c.out);
        EXPECT_EQ(Holds(bench.m_err, std::string(kNoReset) + "\n"), c.toldOnce) << bench.m_err;
        EXPECT_EQ(Holds(bench.m_err, "retry 1 of"), c.status == 0) << bench.m_err;
        EXPECT_EQ(bench.m_sim.FramesOf(0x41), c.programFrames);
        EXPECT_EQ(IdsGiven(bench).size(), c.idFrames);
        if (c.status == 0) {
            EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 0x300), ThreePagesFlash());
        }
        EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    }
}

TEST(BatchResume, WhatNeedsNoResetGoesOnWithoutOne) {
    // The first page read's byte 5 comes back as 00: read once more, as
    // ever, with nobody to reset the board.
    sim::BoardConfig config;
    config.faults.wrongReply = {0xFF, 1};
    config.faults.wrongIndex = 5;
    CBatchBench bench(config);
    bench.m_pressReset = false;
    bench.m_sim.Board().Poke(0x0C0000, ThreePagesFlash());
    EXPECT_EQ(bench.Run(WithPages(bench, {"--retries", "1", "read", "-r", "C0000-C02FF"})), 0) << bench.m_err;
    EXPECT_TRUE(Holds(bench.m_err, kNoReset)) << bench.m_err;
    EXPECT_TRUE(Holds(bench.m_err, "page read at 0C0000: not as the file; read 2 of 2\n")) << bench.m_err;
}

TEST(BatchResume, AFailureBitAfterTheRecoveryIsFlashNobodySent) {
    // The page at 0C0100 fails and its status comes late: the person says
    // the board was reset, but it was not, and its status still holds the
    // program failure. After the recovery the run reads that before any
    // Clear status could hide it.
    const struct {
        const char* name;
        const char* action;
        const char* retries;
        int status;
        std::string out;
        std::vector<std::string> err;
        size_t programFrames, eraseFrames;
    } cases[] = {
        {"E.P.R. starts over with its erase", "epr", "2", 0, std::string(kTimeout) + kOk,
         {"retry 1 of 2: page program status at 0C0100: no reply; read the page back",
          "status after the recovery: program failure bit set; the flash may hold what was not sent",
          "retry 2 of 2: page program status at 0C0100: the board wrote what was not sent; start over with the erase"},
         2 + 3, 2},
        {"E.P.R. without a retry left for it", "epr", "1", 3, std::string(kTimeout) + kError,
         {"status after the recovery: program failure bit set"}, 2, 1},
        {"program ends with its error, nothing read back", "program", "2", 3, std::string(kTimeout) + kError,
         {"status after the recovery: program failure bit set"}, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        const bool epr = std::string(c.action) == "epr";
        LateStatus(config, (epr ? kEprPageStatus : kProgramPageStatus) + 2);
        config.faults.programFailPage = 0x0C0100;
        CBatchBench bench(config);
        bench.m_pressReset = false;
        bench.m_interactive = true;
        bench.m_answers = {""};
        // Whatever spoilt the page is gone once the flash is erased again.
        bench.m_onAnswer = [&bench] { bench.m_sim.Board().SetFaults({}); };
        EXPECT_EQ(bench.Run(WithPages(bench, {"--retries", c.retries, "-y", c.action})), c.status)
            << bench.m_out << bench.m_err;
        EXPECT_EQ(bench.m_out, c.out);
        size_t at = 0;
        for (const auto& line : c.err) {
            at = bench.m_err.find(line, at);
            ASSERT_NE(at, std::string::npos) << line << "\nin:\n" << bench.m_err;
        }
        EXPECT_FALSE(Holds(bench.m_err, "read back:")) << bench.m_err;
        EXPECT_EQ(bench.m_sim.FramesOf(0x41), c.programFrames);
        EXPECT_EQ(bench.m_sim.FramesOf(0xA7), c.eraseFrames);
        if (c.status == 0) {
            EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 0x300), ThreePagesFlash());
        }
    }
}

TEST(BatchResume, APageIsProgrammedAgainOnlyWhenTwoReadsFindItBlank) {
    // The second page's status is lost after it took its data; the first
    // read back meets a blank page (as a read whose address bytes were
    // changed on the line would), the second the page itself.
    sim::BoardConfig config;
    config.faults.silentFrom = {0x70, kEprPageStatus + 2};
    CBatchBench bench(config);
    Bytes held;
    bench.m_onReport = [&bench, &held](const std::string& line) {
        if (line.rfind("retry 1 of 2: page program status at 0C0100", 0) == 0) {
            held = bench.m_sim.Board().Peek(0x0C0100, 256);
            bench.m_sim.Board().Poke(0x0C0100, Bytes(256, 0xFF));
        }
        if (line.rfind("page read at 0C0100: not as the file; read 2 of 3", 0) == 0)
            bench.m_sim.Board().Poke(0x0C0100, held);
    };
    EXPECT_EQ(bench.Run(WithPages(bench, {"--retries", "2", "-y", "epr"})), 0) << bench.m_out << bench.m_err;
    EXPECT_TRUE(Holds(bench.m_err, "page 0C0100 read back: as the file; go on\n")) << bench.m_err;
    // Three pages, each sent once.
    EXPECT_EQ(bench.m_sim.FramesOf(0x41), 3u);
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 0x300), ThreePagesFlash());
}

TEST(BatchResume, BprWithRetriesSendsNoPageTheFileLeavesBlank) {
    // Pages 0C0000-0C02FF with data, 0C0300 given as FF bytes by the file,
    // 0C0400 not at all: both are FF already, as the blank check proved.
    const std::string records = ThreePages().substr(0, ThreePages().rfind("S8")) +
                                S2Record(0x0C0300, Bytes(32, 0xFF).data(), 32) + "S804000000FB\n";
    const struct {
        std::vector<std::string> args;
        size_t programFrames;
    } cases[] = {
        {{"-y", "bpr", "-r", "C0000-C04FF"}, 5},
        {{"--retries", "1", "-y", "bpr", "-r", "C0000-C04FF"}, 3},
    };
    for (const auto& c : cases) {
        CBatchBench bench;
        EXPECT_EQ(bench.Run(WithFile(bench, c.args, records)), 0) << bench.m_out << bench.m_err;
        EXPECT_EQ(bench.m_out, kOk);
        EXPECT_EQ(bench.m_sim.FramesOf(0x41), c.programFrames);
        Bytes flash(0x500, 0xFF);
        const Bytes three = ThreePagesFlash();
        std::copy(three.begin(), three.end(), flash.begin());
        EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 0x500), flash);
    }
}

}  // namespace
}  // namespace pelican::test
