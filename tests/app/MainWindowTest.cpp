// The main window's buttons: the flag checks, the link probe, the erase
// confirmation and the close step.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "commands/SetCommDlg.h"
#include "commands/PreEraseDlg.h"
#include "commands/SetAddressDlg.h"
#include "image/MotFile.h"
#include "support/FrameEncoder.h"
#include "ui/Messages.h"
#include "app/PelicanDlg.h"
#include "app/AboutDlg.h"
#include "app/AppBench.h"

namespace pelican::test {
namespace {

using ui::Icon;
using Messages = std::vector<std::pair<std::string, Icon>>;

const std::vector<int> kNeedId = {CPelicanDlg::IDC_BLANK, CPelicanDlg::IDC_READ,  CPelicanDlg::IDC_PROGRAM,
                                  CPelicanDlg::IDC_ERASE, CPelicanDlg::IDC_EPR,   CPelicanDlg::IDC_BPR,
                                  CPelicanDlg::IDC_DOWNLOAD};
const std::vector<int> kNeedLink = {CPelicanDlg::IDC_LOAD, CPelicanDlg::IDC_STATUS, CPelicanDlg::IDC_SETTING,
                                    CPelicanDlg::IDC_VERSION};

// Runs start-up, then at the main window sets the flags and hands over to
// the test's presses; returns the bytes the board received during them
// (until Exit was pressed).
Bytes AtMainWindow(CAppBench& bench, int linkReady, int idChecked, const std::function<void()>& presses) {
    bench.SelectProgram();
    bench.Run([&] {
        bench.m_app->m_linkReady = linkReady;
        bench.m_app->m_idChecked = idChecked;
        bench.m_sim.ClearReceived();
        bench.m_ui.ClearRecords();
        presses();
    });
    return bench.m_receivedBeforeExit;
}

TEST(MainWindow, WithoutLinkEveryButtonButExitIsRefused) {
    CAppBench bench;
    const Bytes during = AtMainWindow(bench, 0, 0, [&] {
        for (int id : kNeedId) bench.m_ui.Press(CPelicanDlg::IDD, id);
        for (int id : kNeedLink) bench.m_ui.Press(CPelicanDlg::IDD, id);
    });
    const auto messages = bench.Messages();
    ASSERT_EQ(messages.size(), 11u);
    for (const auto& message : messages) EXPECT_EQ(message, std::make_pair(std::string("Can not communicate."), Icon::Information));
    EXPECT_EQ(during, Bytes{});
    // Then only the close step talked to the board.
    EXPECT_EQ(bench.m_sim.Received(), (Bytes{0xB0, 0xB0, 0xB0}));
}

TEST(MainWindow, WithoutIdTheMemoryButtonsAreRefused) {
    CAppBench bench;
    const Bytes during = AtMainWindow(bench, 1, 0, [&] {
        for (int id : kNeedId) bench.m_ui.Press(CPelicanDlg::IDD, id);
    });
    const auto messages = bench.Messages();
    ASSERT_EQ(messages.size(), 7u);
    for (const auto& message : messages) EXPECT_EQ(message, std::make_pair(std::string("Did not pass ID."), Icon::Information));
    EXPECT_EQ(during, Bytes{});
}

TEST(MainWindow, LinkButtonsProbeFirst) {
    const std::vector<std::pair<int, int>> closes = {{CPelicanDlg::IDC_STATUS, 140}, {CPelicanDlg::IDC_SETTING, 150},
                                                     {CPelicanDlg::IDC_VERSION, 158}, {CPelicanDlg::IDC_LOAD, 129}};
    for (const auto& [id, dialog] : closes) {
        CAppBench bench;
        const Bytes bytes = AtMainWindow(bench, 1, 0, [&, id = id, dialog = dialog] {
            bench.m_ui.Press(CPelicanDlg::IDD, id);
            if (dialog != 0) bench.m_ui.Press(dialog, ui::IDCANCEL);
        });
        ASSERT_FALSE(bytes.empty()) << id;
        EXPECT_EQ(bytes[0], 0x70) << id;
        EXPECT_TRUE(bench.m_ui.m_messages.empty()) << id;
        for (const auto& p : bench.m_ui.m_problems) ADD_FAILURE() << id << " " << p;
    }
}

TEST(MainWindow, SilentBoardGetsTheRecoveryAndNoCommand) {
    CAppBench bench;
    const Bytes bytes = AtMainWindow(bench, 1, 1, [&] {
        sim::SimFaults faults;
        faults.silentFrom = {0x70, 0};
        bench.m_sim.Board().SetFaults(faults);
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_VERSION);
        bench.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL);
    });
    EXPECT_EQ(bench.Messages()[0], std::make_pair(std::string("Timeout.\nPush RESET."), Icon::Stop));
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes[0], 0x70);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0xFB), 0);
    EXPECT_EQ(std::count(bench.m_ui.m_shownDialogs.begin(), bench.m_ui.m_shownDialogs.end(), 158), 0);
}

TEST(MainWindow, EraseCancelledSendsOnlyTheProbe) {
    for (int id : {CPelicanDlg::IDC_ERASE, CPelicanDlg::IDC_EPR}) {
        CAppBench bench;
        bench.m_sim.PassId();
        const Bytes during = AtMainWindow(bench, 1, 1, [&] {
            bench.m_ui.Press(CPelicanDlg::IDD, id);
            bench.m_ui.Press(CPreEraseDlg::IDD, ui::IDCANCEL);
        });
        EXPECT_TRUE(bench.m_ui.m_messages.empty());
        EXPECT_EQ(during, (Bytes{0x70}));
    }
}

TEST(MainWindow, AboutBoxFromTheHelpMenuNeedsNoLink) {
    CAppBench bench;
    const Bytes during = AtMainWindow(bench, 0, 0, [&] {
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDM_ABOUTBOX);
        bench.m_ui.Press(CAboutDlg::IDD, ui::IDOK);
    });
    EXPECT_EQ(bench.m_ui.m_shownDialogs, (std::vector<int>{100}));
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_EQ(during, Bytes{});
}

// "Save flash to file..." from the File menu: the probe, the range from
// "Input Address", a file-save dialog, one page read per page, and a file
// that loads back to the board's bytes.
TEST(MainWindow, SaveFlashFromTheFileMenuWritesWhatTheBoardHolds) {
    CAppBench bench;
    bench.m_sim.PassId();
    Bytes flash(512);
    for (size_t i = 0; i < flash.size(); ++i) flash[i] = static_cast<uint8_t>(i * 7 + 1);
    bench.m_sim.Board().Poke(0x0C0000, flash);
    const std::string path = bench.m_dir.File("flash.mot");
    bench.m_ui.FileOpenAnswer(path);
    const Bytes during = AtMainWindow(bench, 1, 1, [&] {
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDM_SAVEFLASH);
        bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, "0C0000");
        bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, "0C01FF");
        bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
    });
    EXPECT_EQ(bench.m_lastOutcome, Outcome::Done);
    EXPECT_EQ(bench.Messages(), (Messages{{"The flash is saved: 0C0000-0C01FF in " + path + ".", Icon::Information}}));
    ASSERT_EQ(bench.m_ui.m_fileRequests.size(), 1u);
    EXPECT_TRUE(bench.m_ui.m_fileRequests[0].save);
    EXPECT_EQ(bench.m_ui.m_fileRequests[0].filter,
              "S-record file (*.mot;*.s;*.srec)|*.mot;*.s;*.srec|Binary file (*.bin)|*.bin|");
    // Every page is read until two reads agree: twice on a clean line.
    const Bytes expected = {0x70, 0xFF, 0x00, 0x0C, 0xFF, 0x00, 0x0C, 0xFF, 0x01, 0x0C, 0xFF, 0x01, 0x0C};
    EXPECT_EQ(during, expected);

    CMotFile image;
    EXPECT_EQ(image.Read(path).result, 1);
    Bytes page(256);
    for (uint32_t index : {0x0C00u, 0x0C01u}) {
        ASSERT_NE(image.GetPage(page.data(), index), nullptr);
        EXPECT_EQ(page, Bytes(flash.begin() + (index - 0x0C00) * 256, flash.begin() + (index - 0x0C00 + 1) * 256));
    }
}

// The names in the bench's folder.
std::set<std::string> FilesIn(const CTempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

// Cancelling the file-save dialog reads nothing and writes nothing; without
// the ID check the entry is refused like the memory buttons. Either way no
// file is made, and a file of the name a save would take stays as it was.
TEST(MainWindow, SaveFlashCancelledOrWithoutIdLeavesNoFile) {
    const std::string earlier = "S00600004844521B\nS2080C000001020304E1\nS804000000FB\n";
    CAppBench bench;
    bench.m_sim.PassId();
    bench.m_dir.Write("flash.mot", earlier);
    bench.m_ui.FileOpenCancel();
    std::set<std::string> before;
    const Bytes during = AtMainWindow(bench, 1, 1, [&] {
        before = FilesIn(bench.m_dir);
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDM_SAVEFLASH);
        bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
    });
    EXPECT_EQ(bench.m_lastOutcome, Outcome::Cancelled);
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_EQ(during, (Bytes{0x70}));
    before.insert("pelican.INI");  // Exit keeps the link settings
    EXPECT_EQ(FilesIn(bench.m_dir), before);
    EXPECT_EQ(bench.m_dir.Read("flash.mot"), earlier);

    // Refused before the dialog: were it asked, it would name the file there.
    CAppBench withoutId;
    withoutId.m_sim.PassId();
    withoutId.m_dir.Write("flash.mot", earlier);
    withoutId.m_ui.FileOpenAnswer(withoutId.m_dir.File("flash.mot"));
    const Bytes refused = AtMainWindow(withoutId, 1, 0, [&] {
        before = FilesIn(withoutId.m_dir);
        withoutId.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDM_SAVEFLASH);
        withoutId.m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
    });
    EXPECT_TRUE(withoutId.m_ui.m_fileRequests.empty());
    EXPECT_EQ(withoutId.m_ui.m_shownDialogs, (std::vector<int>{}));
    EXPECT_EQ(refused, Bytes{});
    ASSERT_EQ(withoutId.Messages().size(), 1u);
    EXPECT_EQ(withoutId.Messages()[0], std::make_pair(std::string("Did not pass ID."), Icon::Information));
    before.insert("pelican.INI");
    EXPECT_EQ(FilesIn(withoutId.m_dir), before);
    EXPECT_EQ(withoutId.m_dir.Read("flash.mot"), earlier);
}

// Escape and the close box are pressed on the real window in the Qt tests.
TEST(MainWindow, ExitRunsTheCloseStep) {
    CAppBench bench;
    bench.StoreRate(19200);
    bench.SelectProgram();
    bench.Run();
    ASSERT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    const Bytes all = bench.m_sim.Received();
    ASSERT_GE(all.size(), bench.m_receivedBeforeExit.size());
    // The rate it runs at, then 9600 at both rates.
    EXPECT_EQ(Bytes(all.begin() + static_cast<long>(bench.m_receivedBeforeExit.size()), all.end()),
              (Bytes{0xB1, 0xB0, 0xB0}));
    CInstanceLock again;
    EXPECT_TRUE(again.Acquire("PELICAN.exe"));
}

// Cancel in the progress window, then clicks that were already waiting in
// the queue: a second command, "B. P. R..." and Exit. None of them may start
// inside the blank check's page loop, and the main window stays disabled
// until the blank check has ended, not only while its window is open.
TEST(MainWindow, APressWhileACommandRunsStartsNothing) {
    CAppBench bench;
    bench.m_sim.PassId();
    std::vector<bool> enabledAtPump;
    int pumps = 0;
    bench.m_ui.m_onPump = [&] {
        if (++pumps != 1) return;
        auto* main = static_cast<CPelicanDlg*>(bench.m_ui.ActiveDialog());
        ASSERT_NE(main, nullptr);
        ASSERT_EQ(main->Template().id, CPelicanDlg::IDD);
        EXPECT_TRUE(main->Running());
        enabledAtPump.push_back(main->Host()->IsWindowEnabled());
        ASSERT_NE(bench.m_ui.LastModeless(), nullptr);
        bench.m_ui.LastModeless()->OnCancel();
        enabledAtPump.push_back(main->Host()->IsWindowEnabled());
        main->OnCommand(CPelicanDlg::IDC_VERSION);
        main->OnCommand(CPelicanDlg::IDC_BPR);
        main->OnCancel();
    };
    const Bytes during = AtMainWindow(bench, 1, 1, [&] {
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_BLANK);
        bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, "0C0000");
        bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, "0C0FFF");
        bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
    });
    // The probe and the one page read before the cancel was seen.
    EXPECT_EQ(during, (Bytes{0x70, 0xFF, 0x00, 0x0C}));
    EXPECT_EQ(enabledAtPump, (std::vector<bool>{false, false}));
    EXPECT_EQ(bench.m_ui.m_shownDialogs, (std::vector<int>{CSetAddressDlg::IDD, 136}));
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_EQ(bench.m_lastOutcome, Outcome::Cancelled);
    EXPECT_TRUE(bench.m_mainEnabledAtExit);
    EXPECT_TRUE(bench.m_ui.m_problems.empty());
    // The Exit that was refused did not close the window: the bench's own
    // Exit ran the close step once.
    EXPECT_EQ(bench.m_sim.Received().size(), during.size() + 3);
}

}  // namespace
}  // namespace pelican::test
