// "Status..." and "Version...": what the dialogs show for the board's answers.
#include <gtest/gtest.h>

#include "app/PelicanDlg.h"
#include "app/AppBench.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"

#include <map>

namespace pelican::test {
namespace {

std::vector<std::string> StatusTexts(unsigned byte1, unsigned byte2) {
    CStatesDlg dlg;
    dlg.SetStatus(byte1, byte2);
    return {dlg.m_strReady,    dlg.m_strErase,   dlg.m_strProgram, dlg.m_strAfterBlock,
            dlg.m_strCheckSum, dlg.m_strIdCheck, dlg.m_strTimeout, dlg.m_strOver};
}

using Texts = std::vector<std::string>;

TEST(StatusDialog, Words) {
    EXPECT_EQ(StatusTexts(0x80, 0x0C), (Texts{"Ready", "Right", "Right", "Right", "Not match", "Match", "Right", "Right"}));
    EXPECT_EQ(StatusTexts(0x00, 0x00), (Texts{"Busy", "Right", "Right", "Right", "Not match", "Not yet", "Right", "Right"}));
    EXPECT_EQ(StatusTexts(0xB8, 0x13), (Texts{"Ready", "Error", "Error", "Error", "Match", "Not yet", "Timeout", "Over"}));
    EXPECT_EQ(StatusTexts(0x47, 0x04), (Texts{"Busy", "Right", "Right", "Right", "Not match", "Not match", "Right", "Right"}));
    EXPECT_EQ(StatusTexts(0x80, 0x08)[5], "");
    EXPECT_EQ(StatusTexts(0x180, 0x10C), StatusTexts(0x80, 0x0C));
}

// Presses one button at the main window and returns the texts of the
// dialog it showed.
std::map<int, std::string> PressAndRead(CAppBench& bench, int button, int dialogId) {
    bench.SelectProgram();
    bench.Run([&] {
        bench.m_ui.Press(CPelicanDlg::IDD, button);
        bench.m_ui.Press(dialogId, ui::IDOK);
    });
    return bench.m_ui.m_lastTexts[dialogId];
}

TEST(StatusDialog, ShowsTheBoardsStatusAndLeavesTheIdFlag) {
    CAppBench bench;
    bench.m_sim.PassId();
    bench.SelectProgram();
    bench.Run([&] {
        bench.m_app->m_idChecked = 0;
        bench.m_sim.ClearReceived();
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_STATUS);
        bench.m_ui.Press(CStatesDlg::IDD, ui::IDOK);
    });
    auto texts = bench.m_ui.m_lastTexts[CStatesDlg::IDD];
    EXPECT_EQ(texts[CStatesDlg::IDC_READY], "Ready");
    EXPECT_EQ(texts[CStatesDlg::IDC_IDCHECK], "Match");
    EXPECT_EQ(texts[CStatesDlg::IDC_CHECKSUM], "Not match");
    EXPECT_EQ(bench.m_app->m_idChecked, 0);
    // Probe, then the command's own read without a purge in between.
    const Bytes bytes = bench.m_sim.Received();
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 2), (Bytes{0x70, 0x70}));
}

TEST(VersionDialog, ShowsTheEightBytes) {
    sim::BoardConfig config;
    config.version = "OrcaBL12";
    CAppBench bench(config);
    EXPECT_EQ(PressAndRead(bench, CPelicanDlg::IDC_VERSION, 158)[CVersionDlg::IDC_VERSION], "OrcaBL12");
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
}

TEST(VersionDialog, StopsAtAZeroByte) {
    sim::BoardConfig config;
    config.version = std::string("ABC\0DEFG", 8);
    CAppBench bench(config);
    EXPECT_EQ(PressAndRead(bench, CPelicanDlg::IDC_VERSION, 158)[CVersionDlg::IDC_VERSION], "ABC");
}

TEST(VersionDialog, NoReplyShowsErrorWithoutRecovery) {
    sim::BoardConfig config;
    config.faults.lateReply = {0xFB, 0};
    config.faults.lateMs = 60000;
    CAppBench bench(config);
    const auto texts = PressAndRead(bench, CPelicanDlg::IDC_VERSION, 158);
    EXPECT_EQ(texts.at(CVersionDlg::IDC_VERSION), "ERROR");
    // No recovery: the link stays as it was. (The board, still busy with its
    // late answer, then misses the exit's return to 9600.)
    for (const auto& m : bench.m_ui.m_messages) EXPECT_EQ(m.text.find("Push RESET."), std::string::npos);
    EXPECT_EQ(bench.m_app->m_linkReady, 1);
}

}  // namespace
}  // namespace pelican::test
