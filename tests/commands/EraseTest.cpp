// "Erase" against the simulated board: the frames and their pauses, the
// message and its icon, the 40 s wait, and the read time-out left behind.
#include <gtest/gtest.h>

#include "commands/MemoryBench.h"
#include "commands/PreEraseDlg.h"
#include "ui/ProgressDlg.h"

namespace pelican::test {
namespace {

using ui::Icon;

TEST(Erase, OkDeviceFailureAndNoReply) {
    const struct {
        const char* name;
        void (*setUp)(sim::BoardConfig&);
        Messages messages;
        Outcome outcome;
        uint64_t waitFrom, waitBelow;  // from Erase all to the first message
        int lastSecond;                // the last whole second the erase window told
    } cases[] = {
        {"a slow erase within the time-out", [](sim::BoardConfig& c) { c.eraseMs = 39000; },
         {{"Erase OK.", Icon::Information}}, Outcome::Done, 39000, 40000, 38},
        // The failure is told once the erase has run its 2 s, from the status
        // read that waited for it.
        {"the device reports a failure", [](sim::BoardConfig& c) { c.faults.eraseFailPage = 0x0C0000; },
         {{"Erase error.", Icon::Stop}}, Outcome::Failed, 2000, 2100, 1},
        // Silent from the third status read: start-up, probe, erase.
        {"no status reply", [](sim::BoardConfig& c) { c.faults.silentFrom = {0x70, 3}; },
         {{"Timeout.\nPush RESET.", Icon::Stop}, {"Erase error.", Icon::Stop},
          {"Can not set baudrate to 9600bps.", Icon::Warning}},
         Outcome::LinkLost, 40000, 41000, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        c.setUp(config);
        CMemoryBench bench(config);
        std::vector<std::pair<int, int>> bar;  // the erase window's bar: its top and each position
        bench.m_ui.m_onProgress = [&bar](const std::string& title, int, int high, int pos, int) {
            if (title == "Erase") bar.emplace_back(high, pos);
        };
        const Bytes bytes = bench.Press([&] {
            bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_ERASE);
            bench.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
            if (c.outcome == Outcome::LinkLost) bench.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL);
        });
        const Bytes erase = {0x70, 0x50, 0x75, 0xA7, 0xD0, 0x70};
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), erase);
        if (c.outcome != Outcome::LinkLost) {
            EXPECT_EQ(bytes, Cat({erase, kCloseStep}));
        }
        EXPECT_EQ(bench.Messages(), c.messages);
        EXPECT_EQ(bench.m_lastOutcome, c.outcome);

        // 50 ms after each frame without a reply; then the long wait.
        const auto frames = bench.m_sim.Board().Frames();
        ASSERT_GE(frames.size(), 5u);
        for (size_t i = 2; i < 5; ++i) EXPECT_GE(frames[i].timeUs - frames[i - 1].timeUs, 50000u) << i;
        ASSERT_FALSE(bench.m_messageTimes.empty());
        const uint64_t waited = bench.m_messageTimes[0] - (frames[3].timeUs + 999) / 1000;
        EXPECT_GE(waited, c.waitFrom);
        EXPECT_LT(waited, c.waitBelow);
        // The wait cursor stood over it, and the windows kept painting.
        EXPECT_GE(bench.m_ui.m_waitCursorShown, 1);
        EXPECT_EQ(bench.m_ui.m_waitCursorDepth, 0);
        EXPECT_GE(bench.m_ui.m_repaints, static_cast<int>(c.waitFrom / 100));
        // A window told how long the erase had been waited for, second by
        // second, and closed before the result was shown.
        ASSERT_GE(bench.m_ui.m_windowEvents.size(), 3u);
        EXPECT_EQ(bench.m_ui.m_windowEvents[0], "open 136");
        EXPECT_EQ(bench.m_ui.m_windowEvents[1], "close 136");
        EXPECT_EQ(bench.m_ui.m_windowEvents[2].rfind("message ", 0), 0u);
        std::vector<std::string> notes;
        for (int second = 0; second <= c.lastSecond; ++second)
            notes.push_back(std::to_string(second) + " s of at most 40 s");
        ASSERT_FALSE(bench.m_ui.m_closedModelessTexts.empty());
        auto& window = bench.m_ui.m_closedModelessTexts[0];
        EXPECT_EQ(window[ui::CProgressDlg::IDC_NOTE], notes);
        // The bar fills by the second toward the 40 s the erase may take.
        ASSERT_FALSE(bar.empty());
        EXPECT_EQ(bar.back(), std::make_pair(40, c.lastSecond));
        EXPECT_EQ(window[ui::CProgressDlg::IDC_MESSAGE].back(), "Erasing the flash.");
        EXPECT_TRUE(AtRest(bench));
    }
}

}  // namespace
}  // namespace pelican::test
