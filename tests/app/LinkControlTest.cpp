// "Set baudrate", baud-rate changes and the recovery, through the main
// window's "Setting..." button and through failed exchanges.
#include <gtest/gtest.h>

#include <algorithm>

#include "commands/SetCommDlg.h"
#include "commands/StatesDlg.h"
#include "app/PelicanDlg.h"
#include "app/FirstSetDlg.h"
#include "app/AppBench.h"
#include "support/FrameEncoder.h"
#include "ui/Messages.h"

namespace pelican::test {
namespace {

using ui::Icon;
using Messages = std::vector<std::pair<std::string, Icon>>;

// Starts at 9600, then at the main window presses "Setting..." and answers
// the dialog with the given texts.
void PressSetting(CAppBench& bench, const std::string& baud, const std::string& interval) {
    bench.SelectProgram();
    bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_SETTING);
    bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_BAUDRATE, baud);
    bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_INTERVAL, interval);
    bench.m_ui.Press(CSetCommDlg::IDD, ui::IDOK);
}

TEST(LinkControl, ChangeTo115200AndBack) {
    CAppBench bench;
    PressSetting(bench, "115200", "7");
    uint32_t boardRate = 0;
    Bytes settingBytes;
    bench.Run([&] {
        boardRate = bench.m_sim.Board().BaudRate();
        settingBytes = bench.m_sim.Received();
    });
    EXPECT_EQ(boardRate, 115200u);
    EXPECT_EQ(bench.m_app->Session().programInterval, 7);
    // Probe, B0 at 9600, B4 at 9600, B4 at 115200, then the status read.
    EXPECT_EQ(Bytes(settingBytes.end() - 5, settingBytes.end()), (Bytes{0x70, 0xB0, 0xB4, 0xB4, 0x70}));
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(115200));
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}

TEST(LinkControl, RateInForceIsSentTwiceAndConfirmed) {
    CAppBench bench;
    PressSetting(bench, "9600", "40");
    Bytes bytes;
    bench.Run([&] { bytes = bench.m_sim.Received(); });
    EXPECT_EQ(Bytes(bytes.end() - 5, bytes.end()), (Bytes{0x70, 0xB0, 0xB0, 0xB0, 0x70}));
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_EQ(bench.m_app->m_linkReady, 1);
}

TEST(LinkControl, RateOutsideTheFiveFailsAndKeepsTheLink) {
    CAppBench bench;
    PressSetting(bench, "12345", "");
    Bytes bytes;
    bench.Run([&] { bytes = bench.m_sim.Received(); });
    EXPECT_EQ(bench.Messages(),
              (Messages{{"Can not set new baudrate.\nBaudrate is last baudrate now.", Icon::Warning}}));
    // The unknown rate goes out as 00, which the board does not echo; the
    // link is then confirmed at the rate it kept.
    EXPECT_EQ(Bytes(bytes.end() - 5, bytes.end()), (Bytes{0x70, 0xB0, 0x00, 0xB0, 0x70}));
    EXPECT_EQ(bench.m_app->m_linkReady, 1);
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    // An empty interval text keeps the interval in force.
    EXPECT_EQ(bench.m_app->Session().programInterval, 40);
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(9600));
}

TEST(LinkControl, IntervalTextsReadTheirLeadingDigits) {
    for (const auto& [text, expected] : std::vector<std::pair<std::string, int>>{
             {"7", 7}, {"abc", 0}, {"25ms", 25}, {"-5", 0}, {"99999999999999", 2147483647}}) {
        CAppBench bench;
        PressSetting(bench, "", text);
        bench.Run();
        EXPECT_EQ(bench.m_app->Session().programInterval, expected) << text;
        // An empty baud text keeps the stored rate.
        EXPECT_EQ(bench.m_app->m_linkReady, 1) << text;
    }
}

TEST(LinkControl, CancelledSettingChangesNothing) {
    CAppBench bench;
    bench.StoreRate(38400);
    bench.SelectProgram();
    bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_SETTING);
    bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_BAUDRATE, "115200");
    bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_INTERVAL, "5");
    bench.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL);
    Bytes bytes;
    uint32_t boardRate = 0;
    bench.Run([&] {
        bytes = bench.m_sim.Received();
        boardRate = bench.m_sim.Board().BaudRate();
    });
    // Start-up's synchronisation, its change to the stored 38400, its status
    // read and Clear status, then the press's probe; the cancelled dialog
    // sends nothing after them.
    EXPECT_EQ(bytes, wire::Cat({wire::Sync(), {0xB0, 0xB2, 0xB2, 0x70, 0x50}, {0x70}}));
    EXPECT_EQ(boardRate, 38400u);
    EXPECT_EQ(bench.m_lastOutcome, Outcome::Cancelled);
    EXPECT_EQ(bench.m_app->Session().programInterval, 40);
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_EQ(bench.m_app->m_linkReady, 1);
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(38400));
}

TEST(LinkControl, RecoveryStoresNineSixHundredEvenWhenItsDialogIsCancelled) {
    CAppBench bench;
    bench.StoreRate(38400);
    bench.m_sim.PassId();  // the ID flag the recovery must not keep
    bench.SelectProgram();
    int idBefore = -1;
    bench.Run([&] {
        idBefore = bench.m_app->m_idChecked;
        sim::SimFaults faults;
        faults.silentFrom = {0x70, 0};
        bench.m_sim.Board().SetFaults(faults);
        bench.m_sim.ClearReceived();
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_STATUS);
        bench.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL);
    });
    EXPECT_EQ(bench.Messages()[0], std::make_pair(std::string("Timeout.\nPush RESET."), Icon::Stop));
    EXPECT_EQ(bench.m_app->m_linkReady, 0);
    EXPECT_EQ(idBefore, 1);
    EXPECT_EQ(bench.m_app->m_idChecked, 0);
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(9600));
    // The Status command itself never ran.
    EXPECT_EQ(std::count(bench.m_ui.m_shownDialogs.begin(), bench.m_ui.m_shownDialogs.end(), 140), 0);
}

TEST(LinkControl, RecoveryRepeatsUntilTheBoardAnswersWithoutNesting) {
    // The board is reset (back to 9600, unsynchronised) and stays silent to
    // the first three baud-rate echoes; the recovery goes round until a
    // change succeeds.
    CAppBench bench;
    // A recovery run from inside the last one's "Set baudrate" would show
    // its message under that command's wait cursor, one level deeper each
    // time round.
    std::vector<int> depths;
    bench.m_ui.m_onMessage = [&](const ui::MessageRecord& message) {
        if (message.text == "Timeout.\nPush RESET.") depths.push_back(bench.m_ui.m_waitCursorDepth);
    };
    bench.SelectProgram();
    bench.Run([&] {
        sim::SimFaults faults;
        faults.silentFrom = {0x70, 0};
        bench.m_sim.Board().SetFaults(faults);
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_VERSION);
        for (int i = 0; i < 3; ++i) {
            bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_BAUDRATE, "19200");
            bench.m_ui.Press(CSetCommDlg::IDD, ui::IDOK);
        }
        bench.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL);
    });
    // Each time round: "Push RESET.", the failed change the user asked for,
    // and its link confirmed by nothing.
    const std::pair<std::string, Icon> reset = {"Timeout.\nPush RESET.", Icon::Stop};
    const std::pair<std::string, Icon> kept = {"Can not set new baudrate.\nBaudrate is last baudrate now.",
                                               Icon::Warning};
    // Then the close step finds the board still silent.
    const std::pair<std::string, Icon> not9600 = {"Can not set baudrate to 9600bps.", Icon::Warning};
    EXPECT_EQ(bench.Messages(), (Messages{reset, kept, reset, kept, reset, kept, reset, not9600}));
    EXPECT_EQ(depths, (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(bench.m_ui.m_waitCursorDepth, 0);
    EXPECT_EQ(bench.m_app->m_linkReady, 0);
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(9600));
}

TEST(LinkControl, RecoveryAfterResetBringsTheLinkBack) {
    CAppBench bench;
    bench.SelectProgram();
    bench.Run([&] {
        // A board that was reset behind the tool's back answers nothing until
        // the recovery synchronises it again.
        bench.m_sim.Board().Reset();
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_STATUS);
        bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_BAUDRATE, "57600");
        bench.m_ui.Press(CSetCommDlg::IDD, ui::IDOK);
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_STATUS);
        bench.m_ui.Press(CStatesDlg::IDD, ui::IDOK);
    });
    EXPECT_EQ(bench.Messages(), (Messages{{"Timeout.\nPush RESET.", Icon::Stop}}));
    EXPECT_EQ(bench.m_app->m_linkReady, 1);
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(57600));
    // The first Status press ran only the probe; the second showed the dialog.
    EXPECT_EQ(std::count(bench.m_ui.m_shownDialogs.begin(), bench.m_ui.m_shownDialogs.end(), 140), 1);
}

TEST(LinkControl, AnAdapterPulledOutIsOpenedAgainOnceItIsBack) {
    // The adapter comes out as the Status press probes the link. The user
    // plugs it in again while a message is shown (the n-th of the run) or
    // never, and answers each "Set baudrate" with 57600 until told to cancel.
    const std::pair<std::string, Icon> reset = {"Communication error.\nPush RESET.", Icon::Stop};
    const std::pair<std::string, Icon> away = {"COM1: the port went away (Input/output error).\nPlug it in again.",
                                              Icon::Stop};
    const std::pair<std::string, Icon> not9600 = {"Can not set baudrate to 9600bps.", Icon::Warning};
    const struct {
        const char* name;
        size_t replugAtMessage;  // 1: as RESET is asked for; 0: never
        int rateDialogs;         // "Set baudrate" answered OK, then one Cancel
        Messages messages;
        int linkReady;
    } cases[] = {
        {"back before RESET was pushed", 1, 1, {reset}, 1},
        {"back after it was told gone twice", 3, 2, {reset, away, away}, 1},
        {"never back: the user cancels", 0, 3, {reset, away, away, away, not9600}, 0},
    };
    for (const auto& c : cases) {
        sim::BoardConfig config;
        config.faults.unplug = {0x70, 2};  // start-up's status read is the first
        CAppBench bench(config);
        size_t shown = 0;
        bench.m_ui.m_onMessage = [&](const ui::MessageRecord&) {
            if (++shown == c.replugAtMessage) bench.m_sim.Board().Replug();
        };
        bench.SelectProgram();
        Bytes afterUnplug;
        bench.Run([&] {
            bench.m_sim.ClearReceived();
            bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_STATUS);
            for (int i = 0; i < c.rateDialogs; ++i) {
                bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_BAUDRATE, "57600");
                bench.m_ui.Press(CSetCommDlg::IDD, c.linkReady == 1 || i + 1 < c.rateDialogs ? ui::IDOK : ui::IDCANCEL);
            }
            if (c.linkReady == 1) {
                bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_STATUS);
                bench.m_ui.Press(CStatesDlg::IDD, ui::IDOK);
            }
        });
        EXPECT_EQ(bench.Messages(), c.messages) << c.name;
        EXPECT_EQ(bench.m_app->m_linkReady, c.linkReady) << c.name;
        EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(c.linkReady == 1 ? 57600 : 9600)) << c.name;
        if (c.linkReady == 0) {
            EXPECT_EQ(bench.m_receivedBeforeExit, Bytes{0x70}) << c.name;  // the probe the adapter went with
            continue;
        }
        // The probe the adapter went with; opened again, the recovery's
        // synchronisation, the change to 57600 with its status read, then
        // the second press's probe and its status read.
        EXPECT_EQ(bench.m_receivedBeforeExit,
                  wire::Cat({{0x70}, wire::Sync(), {0xB0, 0xB3, 0xB3, 0x70}, {0x70, 0x70}}))
            << c.name;
    }
}

}  // namespace
}  // namespace pelican::test
