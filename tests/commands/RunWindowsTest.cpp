// When each run's messages come, seen from the progress windows: a message
// about a page is shown over the window the page was worked in, the last
// status read's message once the windows are gone.
#include <gtest/gtest.h>

#include "commands/MemoryBench.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "ui/ProgressDlg.h"

namespace pelican::test {
namespace {

using Events = std::vector<std::string>;

// Data in five pages, 0C0000 to 0C04FF.
const std::string kFivePages = S2(0x0C0000, {1}) + S2(0x0C0100, {2}) + S2(0x0C0200, {3}) + S2(0x0C0300, {4}) +
                               S2(0x0C04F0, {5});

struct OrderCase {
    const char* name;
    int button;
    std::optional<uint32_t> failPage;  // the board's page that takes nothing
    std::pair<uint32_t, Bytes> pokeLater;  // on the board once the read-back runs (size 0: none)
    Events events;
    // The line under the last window's message, as each page went by (none: not looked at).
    Events notes;
};

TEST(RunWindows, PageMessagesComeOverTheirWindowTheLastStatusAfterIt) {
    const OrderCase cases[] = {
        {"E.P.R. with a page failure", CPelicanDlg::IDC_EPR, 0x0C0200, {},
         {"open 136", "close 136", "open 136", "message Program error.", "close 136"}, {}},
        {"E.P.R. to the end", CPelicanDlg::IDC_EPR, {}, {},
         {"open 136", "close 136", "open 136", "close 136", "open 136", "close 136", "message Program OK."}, {}},
        {"E.P.R. with a difference", CPelicanDlg::IDC_EPR, {}, {0x0C0300, {0x00}},
         {"open 136", "close 136", "open 136", "close 136", "open 136", "message Find not match at address\r0C0300",
          "close 136"},
         {}},
        // "Program..." decides from the last status read, after its window.
        {"Program with a page failure", CPelicanDlg::IDC_PROGRAM, 0x0C0200, {},
         {"open 136", "close 136", "message Program error."},
         // A page of 262 bytes takes 273 ms on the line at 9600 bps, then
         // 40 ms of pause and a status read.
         {"0 of 5 pages, - KiB/s, -:-- left", "1 of 5 pages, 0.9 KiB/s, 0:02 left", "2 of 5 pages, 0.9 KiB/s, 0:01 left",
          "3 of 5 pages, 0.8 KiB/s, 0:01 left"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        config.faults.programFailPage = c.failPage;
        CMemoryBench bench(config);
        bench.LoadImage(kFivePages);
        if (!c.pokeLater.second.empty()) {
            bench.m_onBar = [&bench, poke = c.pokeLater](const std::string& title) {
                if (title == "Read check.") bench.m_sim.Board().Poke(poke.first, poke.second);
            };
        }
        if (c.button == CPelicanDlg::IDC_EPR) {
            bench.Press([&] {
                bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_EPR);
                bench.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
            });
        } else {
            bench.Ranged(c.button, "C0000", "C04FF", [&] { bench.m_ui.Press(CPreWriteDlg::IDD, ui::IDOK); });
        }
        EXPECT_EQ(bench.m_ui.m_windowEvents, c.events);
        if (!c.notes.empty()) {
            ASSERT_FALSE(bench.m_ui.m_closedModelessTexts.empty());
            EXPECT_EQ(bench.m_ui.m_closedModelessTexts.back()[ui::CProgressDlg::IDC_NOTE], c.notes);
        }
        EXPECT_TRUE(bench.m_ui.m_problems.empty());
    }
}

}  // namespace
}  // namespace pelican::test
