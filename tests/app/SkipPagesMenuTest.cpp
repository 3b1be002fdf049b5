// The File menu's "Skip pages without data": its check, the settings file
// that keeps the choice in a section of its own, and the runs it changes.
#include <gtest/gtest.h>

#include "app/SaveIni.h"
#include "commands/MemoryBench.h"
#include "commands/PreEraseDlg.h"

namespace pelican::test {
namespace {

// Data in page 0C0000 and in the top page 0FFF00.
const std::string kImage = S2(0x0C0000, {0x11}) + S2(0x0FFF00, {0x5A});

int MenuCheck(const CMemoryBench& bench) {
    const auto checks = bench.m_ui.m_lastChecks.find(CPelicanDlg::IDD);
    if (checks == bench.m_ui.m_lastChecks.end()) return -1;
    const auto check = checks->second.find(CPelicanDlg::IDM_SKIPEMPTY);
    return check == checks->second.end() ? -1 : check->second;
}

void PressEPR(CMemoryBench& bench) {
    bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_EPR);
    bench.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
}

TEST(SkipPagesMenu, TheCheckItemIsStoredInASectionOfItsOwn) {
    CMemoryBench bench;
    bench.WriteSettings("; kept\n" + CAppBench::CleanSection(9600));
    bench.LoadImage(kImage);
    // Off at first; the press needs no link and sends nothing.
    const Bytes bytes = bench.Press([&] { bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDM_SKIPEMPTY); });
    EXPECT_EQ(bytes, kCloseStep);
    EXPECT_EQ(MenuCheck(bench), 1);
    EXPECT_TRUE(bench.m_ui.m_problems.empty());
    EXPECT_TRUE(bench.Messages().empty());
    EXPECT_EQ(bench.Settings(), "; kept\n" + CAppBench::CleanSection(9600) + "\n[Pages]\nSkipEmpty=1\n");
}

TEST(SkipPagesMenu, AStoredChoiceHoldsAtTheNextStartAndTurnsOffAgain) {
    for (const bool stored : {false, true}) {
        SCOPED_TRACE(stored ? "stored on" : "not stored");
        CMemoryBench bench;
        bench.WriteSettings(CAppBench::CleanSection(9600) + (stored ? "[Pages]\nSkipEmpty=1\n" : ""));
        bench.LoadImage(kImage);
        bench.Press([&] { PressEPR(bench); });
        EXPECT_EQ(MenuCheck(bench), stored ? 1 : 0);
        EXPECT_EQ(bench.m_sim.FramesOf(0x41), stored ? 2u : 1024u);
        EXPECT_EQ(bench.m_sim.FramesOf(0xFF), stored ? 2u : 1024u);
        EXPECT_EQ(bench.Messages(), (Messages{{"Program OK.", ui::Icon::Information}}));
    }
    CMemoryBench bench;
    bench.WriteSettings(CAppBench::CleanSection(9600) + "[Pages]\nSkipEmpty=1\n");
    bench.Press([&] { bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDM_SKIPEMPTY); });
    EXPECT_EQ(MenuCheck(bench), 0);
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(9600) + "[Pages]\nSkipEmpty=0\n");
    EXPECT_FALSE(CSaveIni(bench.m_dir.File("pelican.INI")).LoadSkipEmptyPages());
}

}  // namespace
}  // namespace pelican::test
