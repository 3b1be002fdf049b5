// "Erase" against the simulated board: the frames and pauses on the wire,
// the message and its icon, and the read time-out left behind.
#include <gtest/gtest.h>

#include "commands/MemoryBench.h"
#include "commands/PreEraseDlg.h"

namespace pelican::test {
namespace {

using ui::Icon;

const Bytes kErase = {0x50, 0x75, 0xA7, 0xD0, 0x70};

struct EraseCase {
    const char* name;
    void (*setUp)(sim::BoardConfig&);
    Messages messages;
    Outcome outcome;
    // Virtual time from Erase all to the first message, bounds included.
    uint64_t waitAtLeast;
    uint64_t waitBelow;
};

TEST(Erase, OkDeviceFailureAndNoReply) {
    const EraseCase cases[] = {
        {"a slow erase still within the time-out",
         [](sim::BoardConfig& c) { c.eraseMs = 39000; },
         {{"Erase OK.", Icon::Information}}, Outcome::Done, 39000, 40000},
        {"the device reports the erase failed",
         [](sim::BoardConfig& c) { c.faults.eraseFailPage = 0x0C0000; },
         {{"Erase error.", Icon::Stop}}, Outcome::Failed, 0, 5000},
        // The board stops answering at the status read after the erase (the
        // third: start-up, probe, erase).
        {"no status reply",
         [](sim::BoardConfig& c) { c.faults.silentFrom = {0x70, 3}; },
         {{"Timeout.\nPush RESET.", Icon::Stop},
          {"Erase error.", Icon::Stop},
          {"Can not set baudrate to 9600bps.", Icon::Warning}},
         Outcome::LinkLost, 40000, 41000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        c.setUp(config);
        CMemoryBench bench(config);
        uint64_t eraseAllAt = 0;
        bench.m_sim.Board().SetFrameObserver([&](const sim::SimFrame& frame) {
            if (frame.bytes[0] == 0xA7) eraseAllAt = frame.timeMs;
        });
        const Bytes bytes = bench.Press([&] {
            bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_ERASE);
            bench.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
            // The recovery's "Set baudrate", when there is one, is cancelled.
            if (c.outcome == Outcome::LinkLost) bench.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL);
        });

        if (c.outcome == Outcome::LinkLost)
            EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), Cat({kProbe, kErase}));
        else
            EXPECT_EQ(bytes, Cat({kProbe, kErase, kCloseStep}));
        EXPECT_EQ(bench.Messages(), c.messages);
        EXPECT_EQ(bench.m_lastOutcome, c.outcome);
        ASSERT_FALSE(bench.m_messageTimes.empty());
        const uint64_t waited = bench.m_messageTimes[0] - eraseAllAt;
        EXPECT_GE(waited, c.waitAtLeast);
        EXPECT_LT(waited, c.waitBelow);
        EXPECT_EQ(bench.m_app->m_port.ReadTimeout(), 5000);
        // The wait cursor stood over the wait, and the windows kept painting.
        EXPECT_GE(bench.m_ui.m_waitCursorShown, 1);
        EXPECT_EQ(bench.m_ui.m_waitCursorDepth, 0);
        if (c.waitAtLeast >= 1000) {
            EXPECT_GE(bench.m_ui.m_repaints, 20);
        }
        EXPECT_TRUE(bench.m_ui.m_problems.empty());
    }
}

TEST(Erase, FramesArePacedAndTheFlashIsErased) {
    CMemoryBench bench;
    bench.m_sim.Board().Poke(0x0C0000, {0x12, 0x34});
    bench.Press([&] {
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_ERASE);
        bench.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
    });
    std::vector<uint64_t> at;
    for (const auto& frame : bench.m_sim.Board().Frames()) at.push_back(frame.timeMs);
    // Probe, Clear status, Pre-erase, Erase all, status: 50 ms after each
    // frame without a reply, counted from when it has left the line.
    ASSERT_GE(at.size(), 5u);
    for (size_t i = 2; i < 5; ++i) EXPECT_GE(at[i] - at[i - 1], 50u) << i;
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
}

}  // namespace
}  // namespace pelican::test
