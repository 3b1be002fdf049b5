// The window program as a user drives it: the real Qt windows off screen,
// answered with mouse clicks and keys on their actual buttons, against the
// in-memory board on the virtual clock.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMetaObject>
#include <QTest>

#include "app/AppBench.h"
#include "app/WindowUser.h"
#include "commands/PreWriteDlg.h"
#include "commands/SetAddressDlg.h"
#include "commands/IDCheckDlg.h"
#include "support/FrameEncoder.h"
#include "support/SRecordText.h"
#include "sys/InstanceLock.h"
#include "ui/ProgressDlg.h"
#include "ui/qt/QtBackend.h"

namespace pelican::test {
namespace {

using ui::CQtDialogHost;
using U = CWindowUser;

// Two pages of data, 0C0000 to 0C01FF.
const Bytes kFirst = {0x11, 0x22, 0x33};
const Bytes kSecond = {0x44};

// The application on the simulated board with the real windows in place of
// the script.
struct CWindowBench : CAppBench {
    CWindowBench() {
        m_shownOn = &m_qt;
        m_app->SetUi(&m_qt);
        m_dir.Write("prog.mot", S2Record(0x0C0000, kFirst.data(), kFirst.size()) +
                                    S2Record(0x0C0100, kSecond.data(), kSecond.size()) + "S804000000FB\n");
    }
    ~CWindowBench() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // "Select Program" with the internal flash on COM1.
    void SelectProgram() {
        m_user.Then("Select Program", [](QWidget& window) {
            CQtDialogHost& select = U::Host(window);
            U::Click(select.Control(CS_PrgDlg::IDC_FLASH));
            U::Click(select.Control(ui::IDOK));
        });
    }
    // "ID Check": the file's path and the board's ID typed in, then OK,
    // which loads the file and sends the ID. ("Refer..." opens the desktop's
    // file dialog, whose list fills from a thread of its own.)
    void PassIdCheck() {
        m_user.Then("ID Check", [this](QWidget& window) {
            CQtDialogHost& check = U::Host(window);
            U::Type(check.Control(CIDCheckDlg::IDC_FILEPATH), m_dir.File("prog.mot"));
            for (int i = 0; i < 7; ++i) U::Type(check.Control(CIDCheckDlg::IDC_ID1 + i), "0" + std::to_string(i + 1));
            U::Click(check.Control(CIDCheckDlg::IDC_ORCA_SP));
            U::Click(check.Control(ui::IDOK));
        });
    }
    void SkipIdCheck() {
        m_user.Then("ID Check", [](QWidget& window) { U::Click(U::Host(window).Control(ui::IDCANCEL)); });
    }
    // "Input Address" answered with OK on what it proposes, or on the range typed.
    void InputAddress(const std::string& start = "", const std::string& end = "") {
        m_user.Then("Input Address", [start, end](QWidget& window) {
            CQtDialogHost& input = U::Host(window);
            if (!start.empty()) U::Type(input.Control(CSetAddressDlg::IDC_START), start);
            if (!end.empty()) U::Type(input.Control(CSetAddressDlg::IDC_END), end);
            U::Click(input.Control(ui::IDOK));
        });
    }
    // The bytes on the wire since the main window came up.
    Bytes SinceMainWindow() const { return m_sim.Received(); }

    ui::CQtBackend m_qt;
    CWindowUser m_user{m_qt};
};

using wire::PageRead;

// The close step from 9600 bps.
const Bytes kCloseStep = {0xB0, 0xB0, 0xB0};

TEST(WindowFlow, FromSelectProgramToProgramOk) {
    CWindowBench bench;
    bench.SelectProgram();
    bench.PassIdCheck();
    bool mainDisabledUnderProgress = false;
    bench.m_user.m_onProgress = [&](CQtDialogHost& progress) {
        auto* main = dynamic_cast<CQtDialogHost*>(progress.parentWidget());
        ASSERT_NE(main, nullptr);
        mainDisabledUnderProgress = !main->IsWindowEnabled() && !main->Control(CPelicanDlg::IDC_PROGRAM)->isEnabled();
    };
    bench.m_user.Then("Pelican", [&](QWidget& window) {
        CQtDialogHost& main = U::Host(window);
        bench.m_sim.ClearReceived();
        U::Click(main.Control(CPelicanDlg::IDC_PROGRAM));
        EXPECT_TRUE(main.IsWindowEnabled());
        U::Click(main.Control(ui::IDCANCEL));
    });
    bench.InputAddress();
    bench.m_user.Then("Program", [](QWidget& window) {
        CQtDialogHost& confirm = U::Host(window);
        EXPECT_EQ(U::Text(confirm.Control(CPreWriteDlg::IDC_START)), "0C0000");
        EXPECT_EQ(U::Text(confirm.Control(CPreWriteDlg::IDC_END)), "0C01FF");
        U::Click(confirm.Control(ui::IDOK));
    });
    bench.m_user.ThenMessage("Program OK.", QMessageBox::Information);
    bench.m_app->InitInstance();

    EXPECT_TRUE(bench.m_user.Done());
    EXPECT_EQ(bench.m_user.m_progressShown, (std::vector<std::string>{"Program"}));
    EXPECT_TRUE(mainDisabledUnderProgress);
    EXPECT_EQ(bench.m_app->m_idChecked, 1);
    // The probe, Clear status, each page with its status read, the last
    // status read, and Exit's return to 9600 bps.
    Bytes expected = {0x70, 0x50};
    for (const auto& [address, data] : {std::pair{0x0C0000u, kFirst}, std::pair{0x0C0100u, kSecond}}) {
        const Bytes frame = wire::PageProgram(address, data);
        expected.insert(expected.end(), frame.begin(), frame.end());
        expected.push_back(0x70);
    }
    expected.push_back(0x70);
    expected.insert(expected.end(), kCloseStep.begin(), kCloseStep.end());
    EXPECT_EQ(bench.SinceMainWindow(), expected);
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 3), kFirst);
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0100), 0x44);
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}

// Cancel in the progress window, then clicks that were waiting in the queue
// behind it: "Version...", "B. P. R..." and Escape at the main window. The
// page loop lets them through, and none of them starts anything.
TEST(WindowFlow, ClicksQueuedDuringAPageLoopStartNothing) {
    CWindowBench bench;
    bench.SelectProgram();
    bench.PassIdCheck();
    std::vector<bool> mainEnabled;
    bench.m_user.m_onProgress = [&](CQtDialogHost& progress) {
        QPointer<CQtDialogHost> window = &progress;
        auto* main = dynamic_cast<CQtDialogHost*>(progress.parentWidget());
        ASSERT_NE(main, nullptr);
        QMetaObject::invokeMethod(
            &progress,
            [&mainEnabled, window, main] {
                ASSERT_FALSE(window.isNull());
                U::Click(window->Control(ui::IDCANCEL));
                mainEnabled.push_back(main->IsWindowEnabled());
                U::Click(main->Control(CPelicanDlg::IDC_VERSION));
                U::Click(main->Control(CPelicanDlg::IDC_BPR));
                QTest::keyClick(main->Control(CPelicanDlg::IDC_LOAD), Qt::Key_Escape);
            },
            Qt::QueuedConnection);
    };
    Bytes duringBlank;
    bench.m_user.Then("Pelican", [&](QWidget& window) {
        CQtDialogHost& main = U::Host(window);
        bench.m_sim.ClearReceived();
        U::Click(main.Control(CPelicanDlg::IDC_BLANK));
        duringBlank = bench.m_sim.Received();
        mainEnabled.push_back(main.IsWindowEnabled());
        U::Click(main.Control(ui::IDCANCEL));
    });
    bench.InputAddress();
    bench.m_app->InitInstance();

    EXPECT_TRUE(bench.m_user.Done());
    EXPECT_EQ(bench.m_user.m_progressShown, (std::vector<std::string>{"Blank Check"}));
    // Disabled after the Cancel still, enabled once the blank check ended.
    EXPECT_EQ(mainEnabled, (std::vector<bool>{false, true}));
    Bytes expected = {0x70};
    const Bytes first = PageRead(0x0C0000);
    expected.insert(expected.end(), first.begin(), first.end());
    EXPECT_EQ(duringBlank, expected);
    expected.insert(expected.end(), kCloseStep.begin(), kCloseStep.end());
    EXPECT_EQ(bench.SinceMainWindow(), expected);
}

// Enter in the progress window does nothing, on its focused "Cancel"
// included; Escape stops the run after the page in progress.
TEST(WindowFlow, EnterInTheProgressWindowDoesNothingEscapeCancels) {
    CWindowBench bench;
    bench.SelectProgram();
    bench.PassIdCheck();
    int key = Qt::Key_Return;
    bench.m_user.m_onProgress = [&](CQtDialogHost& progress) {
        QPointer<QWidget> cancel = progress.Control(ui::IDCANCEL);
        cancel->setFocus();
        QMetaObject::invokeMethod(
            &progress,
            [cancel, &key] {
                ASSERT_FALSE(cancel.isNull());
                QTest::keyClick(cancel, static_cast<Qt::Key>(key));
                if (key == Qt::Key_Return) QTest::keyClick(cancel, Qt::Key_Enter, Qt::KeypadModifier);
            },
            Qt::QueuedConnection);
    };
    std::vector<Bytes> runs;
    bench.m_user.Then("Pelican", [&](QWidget& window) {
        CQtDialogHost& main = U::Host(window);
        for (const int pressed : {Qt::Key_Return, Qt::Key_Escape}) {
            key = pressed;
            bench.m_sim.ClearReceived();
            U::Click(main.Control(CPelicanDlg::IDC_BLANK));
            runs.push_back(bench.m_sim.Received());
        }
        U::Click(main.Control(ui::IDCANCEL));
    });
    bench.InputAddress("0C0000", "0C03FF");
    bench.InputAddress();  // the range confirmed last
    bench.m_app->InitInstance();

    EXPECT_TRUE(bench.m_user.Done());
    ASSERT_EQ(runs.size(), 2u);
    Bytes all = {0x70};
    for (uint32_t address = 0x0C0000; address < 0x0C0400; address += 0x100) {
        const Bytes read = PageRead(address);
        all.insert(all.end(), read.begin(), read.end());
    }
    // A blank range closes the window without a word.
    EXPECT_EQ(runs[0], all);
    EXPECT_EQ(runs[1], Bytes(all.begin(), all.begin() + 1 + 3));
    EXPECT_EQ(bench.m_user.m_shown,
              (std::vector<std::string>{"Select Program", "ID Check", "Pelican", "Input Address",
                                        "Input Address"}));
}

// Escape and the close box of the main window run the close step: the
// board and the port go back to 9600 bps, and the single-instance lock is
// given up.
TEST(WindowFlow, EscapeAndTheCloseBoxRunTheCloseStep) {
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Escape");
        CWindowBench bench;
        bench.StoreRate(19200);
        bench.SelectProgram();
        bench.SkipIdCheck();
        uint32_t rateAtMainWindow = 0;
        bench.m_user.Then("Pelican", [&](QWidget& window) {
            CQtDialogHost& main = U::Host(window);
            rateAtMainWindow = bench.m_sim.Board().BaudRate();
            bench.m_sim.ClearReceived();
            if (closeBox)
                main.close();
            else
                QTest::keyClick(main.Control(CPelicanDlg::IDC_LOAD), Qt::Key_Escape);
        });
        bench.m_app->InitInstance();

        EXPECT_TRUE(bench.m_user.Done());
        EXPECT_EQ(rateAtMainWindow, 19200u);
        // The rate the link runs at, then 9600 at both rates.
        EXPECT_EQ(bench.SinceMainWindow(), (Bytes{0xB1, 0xB0, 0xB0}));
        EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
        CInstanceLock again;
        EXPECT_TRUE(again.Acquire("PELICAN.exe"));
    }
}

}  // namespace
}  // namespace pelican::test
