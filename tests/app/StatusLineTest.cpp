// The main window's status line: the link, the target, the file, the ID and
// how the last command ended, after each kind of press. Read check and
// Blank check show no message when they pass; the line says so.
#include <gtest/gtest.h>

#include "app/AppBench.h"
#include "app/PelicanDlg.h"
#include "commands/IDCheckDlg.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/SetAddressDlg.h"
#include "support/IdFileText.h"
#include "support/SRecordText.h"

namespace pelican::test {
namespace {

constexpr const char* kReady = "Port COM1, 9600 bps, Internal flash memory\nFile prog.mot, ID passed";

struct LineCase {
    const char* name;
    bool written;  // the board holds the file's bytes at 0C0000
    std::function<void(CAppBench&)> presses;
    std::string line;
};

void Ranged(CAppBench& bench, int button, const char* end) {
    bench.m_ui.Press(CPelicanDlg::IDD, button);
    bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, "C0000");
    bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, end);
    bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
}

TEST(StatusLine, SaysTheLinkTheFileTheIdAndTheLastResult) {
    const LineCase cases[] = {
        {"nothing pressed yet", false, [](CAppBench&) {}, kReady},
        {"a read check that passes", true, [](CAppBench& b) { Ranged(b, CPelicanDlg::IDC_READ, "C00FF"); },
         std::string(kReady) + "\nLast: 0C0000-0C00FF matches the file"},
        {"a read check with a difference", false, [](CAppBench& b) { Ranged(b, CPelicanDlg::IDC_READ, "C00FF"); },
         std::string(kReady) + "\nLast: Read check failed"},
        {"a blank check that passes", false, [](CAppBench& b) { Ranged(b, CPelicanDlg::IDC_BLANK, "C01FF"); },
         std::string(kReady) + "\nLast: Blank check: 0C0000-0C01FF blank"},
        {"a blank check on written flash", true, [](CAppBench& b) { Ranged(b, CPelicanDlg::IDC_BLANK, "C01FF"); },
         std::string(kReady) + "\nLast: Blank check failed"},
        {"a blank check cancelled", false,
         [](CAppBench& b) {
             Ranged(b, CPelicanDlg::IDC_BLANK, "C01FF");
             b.m_ui.CancelProgressAtPump(1);
         },
         std::string(kReady) + "\nLast: Blank check cancelled"},
        {"an erase", true,
         [](CAppBench& b) {
             b.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_ERASE);
             b.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
         },
         std::string(kReady) + "\nLast: Erased"},
        {"a program", false,
         [](CAppBench& b) {
             Ranged(b, CPelicanDlg::IDC_PROGRAM, "C00FF");
             b.m_ui.Press(CPreWriteDlg::IDD, ui::IDOK);
         },
         std::string(kReady) + "\nLast: Program OK"},
        {"a board that stopped answering", false,
         [](CAppBench& b) {
             sim::SimFaults faults;
             faults.silentFrom = {0x70, 0};
             b.m_sim.Board().SetFaults(faults);
             b.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_VERSION);
             b.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL);
         },
         "Port COM1, no link, Internal flash memory\nFile prog.mot, ID not passed\nLast: Version: link lost"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CAppBench bench;
        bench.m_dir.Write("prog.mot", Record(2, 0x0C0000, {0x11, 0x22, 0x33}) + "\nS9030000FC\n");
        bench.m_dir.Write("prog.id", kIdFile);
        if (c.written) bench.m_sim.Board().Poke(0x0C0000, {0x11, 0x22, 0x33});
        bench.SelectProgram();
        bench.m_ui.FileOpenAnswer(bench.m_dir.File("prog.mot"));
        bench.m_ui.Press(CIDCheckDlg::IDD, CIDCheckDlg::IDC_REFER);
        bench.m_ui.Press(CIDCheckDlg::IDD, ui::IDOK);
        bench.Run([&] { c.presses(bench); });
        EXPECT_EQ(bench.m_ui.m_lastTexts[CPelicanDlg::IDD][CPelicanDlg::IDC_STATE], c.line);
        EXPECT_TRUE(bench.m_ui.m_problems.empty());
    }
}

}  // namespace
}  // namespace pelican::test
