// The progress window on real windows: shown without blocking, closed by
// the user in three ways while Enter does nothing, harmless once gone,
// usable while its owner is disabled, and giving the owner back its state;
// and the main window, which takes no input while an erase waits for the
// board.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTest>

#include "QtTestSupport.h"
#include "SampleDlg.h"
#include "app/AppBench.h"
#include "app/WindowUser.h"
#include "ui/qt/QtBackend.h"
#include "ui/ProgressDlg.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::test {
namespace {

using namespace pelican::ui;
using P = CProgressDlg;

using QtModelessTest = CQtBackendFixture;

TEST_F(QtModelessTest, UserClosesItThreeWaysEnterDoesNothing) {
    const std::pair<const char*, std::function<void(CQtDialogHost&)>> ways[] = {
        {"close box", [](CQtDialogHost& host) { host.close(); }},
        {"Escape", [](CQtDialogHost& host) { QTest::keyClick(host.Control(IDCANCEL), Qt::Key_Escape); }},
        {"Cancel", [](CQtDialogHost& host) { QTest::mouseClick(host.Control(IDCANCEL), Qt::LeftButton); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        int cancel = 0;
        auto progress = P::OpenProgress(m_qt, &cancel);
        ASSERT_NE(progress, nullptr);
        QPointer<CQtDialogHost> host = CQtBackend::HostOf(*progress);
        ASSERT_FALSE(host.isNull());
        EXPECT_TRUE(host->isVisible());
        EXPECT_FALSE(host->isModal());
        EXPECT_EQ(m_qt.ActiveDialog(), nullptr);  // modeless windows are not modal runs

        progress->BeginProgress("Blank check.", "Blank Check", 0, 130, 0);
        progress->SetProgressPos(40);
        EXPECT_EQ(qobject_cast<QProgressBar*>(host->Control(P::IDC_PROGRESS))->value(), 40);
        EXPECT_EQ(host->windowTitle(), QStringLiteral("Blank Check"));
        // Enter does nothing in this window: not on the bar, not on the
        // window, not on "Cancel" when it has the focus.
        host->Control(IDCANCEL)->setFocus();
        for (QWidget* target : {host->Control(P::IDC_PROGRESS), static_cast<QWidget*>(host.data()),
                                host->Control(IDCANCEL)}) {
            QTest::keyClick(target, Qt::Key_Return);
            QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        }
        m_qt.PumpMessages();
        EXPECT_EQ(cancel, 0);
        EXPECT_TRUE(progress->IsOpen());

        close(*host);
        EXPECT_EQ(cancel, 1);
        EXPECT_FALSE(progress->IsOpen());
        // The window goes once the event loop has it back.
        ASSERT_FALSE(host.isNull());
        EXPECT_FALSE(host->isVisible());
        EXPECT_EQ(host->Dialog(), nullptr);
        host->close();  // anything more from the window reaches nobody
        FlushDeferredDeletes();
        EXPECT_TRUE(host.isNull());
    }
}

TEST_F(QtModelessTest, GoneOrDestroyedItIsHarmless) {
    int cancel = 0;
    auto progress = P::OpenProgress(m_qt, &cancel);
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(m_qt.CreateModeless(*progress));  // shown already
    m_qt.PumpMessages();
    progress->CloseProgress();
    EXPECT_EQ(cancel, 1);
    EXPECT_EQ(progress->Host(), nullptr);
    cancel = 0;
    m_qt.DestroyModeless(*progress);  // a second time does nothing
    progress->EndDialog(IDOK);        // nor does anything sent to a window that is gone
    progress->SetProgressPos(10);
    progress->CloseProgress();
    EXPECT_EQ(cancel, 0);
    // Destroyed while open, it closes its window as Cancel does.
    int second = 0;
    QPointer<CQtDialogHost> window;
    {
        auto open = P::OpenProgress(m_qt, &second);
        ASSERT_NE(open, nullptr);
        window = CQtBackend::HostOf(*open);
    }
    EXPECT_EQ(second, 1);
    ASSERT_FALSE(window.isNull());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(P::OpenProgress(m_qt, nullptr), nullptr);  // no flag, no window
}

TEST_F(QtModelessTest, ProgressWindowStaysUsableWhileItsOwnerIsDisabled) {
    CSampleDlg main;
    int cancel = 0;
    m_qt.m_onModalShown = [&](QWidget& shown) {
        CQtDialogHost* owner = CQtBackend::HostOf(main);
        ASSERT_EQ(owner, &shown);
        auto progress = P::OpenProgress(m_qt, &cancel, &main);
        ASSERT_NE(progress, nullptr);
        CQtDialogHost* window = CQtBackend::HostOf(*progress);
        EXPECT_EQ(window->parentWidget(), owner);
        EXPECT_TRUE(window->IsWindowEnabled());
        EXPECT_TRUE(window->Control(IDCANCEL)->isEnabled());
        EXPECT_FALSE(owner->IsWindowEnabled());
        EXPECT_FALSE(owner->Control(IDCANCEL)->isEnabled());

        // The disabled owner takes neither keys, clicks nor its close box.
        QTest::keyClick(owner->Control(CSampleDlg::kId), Qt::Key_Escape);
        QTest::mouseClick(owner->Control(IDCANCEL), Qt::LeftButton);
        owner->close();
        EXPECT_EQ(main.m_cancelCalls, 0);
        EXPECT_TRUE(owner->isVisible());

        QTest::mouseClick(window->Control(IDCANCEL), Qt::LeftButton);
        EXPECT_EQ(cancel, 1);
        EXPECT_TRUE(owner->IsWindowEnabled());
        auto* id = qobject_cast<QLineEdit*>(owner->Control(CSampleDlg::kId));
        ASSERT_NE(id, nullptr);
        QTest::keyClicks(id, QStringLiteral("C0010"));
        QTest::mouseClick(owner->Control(IDOK), Qt::LeftButton);
    };
    EXPECT_EQ(main.DoModal(m_qt), IDOK);
    m_qt.m_onModalShown = nullptr;
    EXPECT_EQ(main.m_id, "C0010");
}

TEST_F(QtModelessTest, ProgressWindowGivesTheActiveDialogBackTheStateItHad) {
    CSampleDlg main;
    m_qt.m_onModalShown = [&](QWidget&) {
        CQtDialogHost* owner = CQtBackend::HostOf(main);
        ASSERT_NE(owner, nullptr);
        for (const bool ownerEnabled : {true, false}) {
            owner->EnableWindow(ownerEnabled);
            int cancel = 0;
            auto progress = CProgressDlg::OpenProgress(m_qt, &cancel);
            ASSERT_NE(progress, nullptr);
            QPointer<CQtDialogHost> window = CQtBackend::HostOf(*progress);
            EXPECT_TRUE(window->isVisible());
            EXPECT_FALSE(owner->IsWindowEnabled());
            // Enter does nothing without a default button, unless a button has the focus.
            QTest::keyClick(window->Control(CProgressDlg::IDC_PROGRESS), Qt::Key_Return);
            EXPECT_EQ(cancel, 0);
            QTest::keyClick(window->Control(IDCANCEL), Qt::Key_Escape);
            EXPECT_EQ(cancel, 1);
            EXPECT_EQ(owner->IsWindowEnabled(), ownerEnabled);
            // Gone: nothing more reaches the owner or the flag.
            cancel = 0;
            owner->EnableWindow(!ownerEnabled);
            progress->SetProgressPos(100);
            progress->CloseProgress();
            progress.reset();
            EXPECT_EQ(cancel, 0);
            EXPECT_EQ(owner->IsWindowEnabled(), !ownerEnabled);
            FlushDeferredDeletes();
            EXPECT_TRUE(window.isNull());
        }
        owner->EnableWindow(true);
        owner->close();
    };
    EXPECT_EQ(main.DoModal(m_qt), IDCANCEL);
    m_qt.m_onModalShown = nullptr;
}

TEST_F(QtModelessTest, RepaintingTakesNoInput) {
    CSampleDlg main;
    m_qt.m_onModalShown = [&](QWidget&) {
        CQtDialogHost* owner = CQtBackend::HostOf(main);
        ASSERT_NE(owner, nullptr);
        // A close request from the desktop waiting in the queue while the
        // program waits for the device: the repaint delivers it, and it
        // reaches no handler.
        QCoreApplication::postEvent(owner, new QCloseEvent);
        m_qt.RepaintWindows();
        EXPECT_EQ(main.m_cancelCalls, 0);
        EXPECT_TRUE(owner->isVisible());
        EXPECT_FALSE(CQtDialogHost::InputBlocked());
        // Blocked by hand, neither the close box nor Escape reaches it.
        CQtDialogHost::BlockInput(true);
        owner->close();
        QTest::keyClick(owner->Control(CSampleDlg::kId), Qt::Key_Escape);
        CQtDialogHost::BlockInput(false);
        EXPECT_EQ(main.m_cancelCalls, 0);
        owner->close();
    };
    EXPECT_EQ(main.DoModal(m_qt), IDCANCEL);
    m_qt.m_onModalShown = nullptr;
    EXPECT_EQ(main.m_cancelCalls, 1);
}

// Exit, Escape and the close box of the main window while the erase waits
// for the board's status (the windows repaint meanwhile): the button is
// greyed and none of them does anything, so the close step cannot take the
// port from under the erase. The erase ends as the board says, and Exit
// afterwards ends the program.
TEST(QtMainWindow, ExitDuringAnEraseDoesNothing) {
    CAppBench bench;
    ui::CQtBackend qt;
    bench.m_app->SetUi(&qt);
    CWindowUser user(qt);
    using U = CWindowUser;
    bool busy = false, greyed = false, shownAfter = false;
    Bytes atTheClicks;
    user.Then("Select Program", [](QWidget& window) {
        CQtDialogHost& select = U::Host(window);
        U::Click(select.Control(CS_PrgDlg::IDC_FLASH));
        U::Click(select.Control(IDOK));
    });
    user.Then("ID Check", [](QWidget& window) { U::Click(U::Host(window).Control(IDCANCEL)); });
    user.Then("Pelican", [&](QWidget& window) {
        CQtDialogHost& main = U::Host(window);
        QPointer<CQtDialogHost> host = &main;
        bench.m_sim.PassId();
        bench.m_app->m_idChecked = 1;
        bench.m_sim.ClearReceived();
        // Once the board has taken Erase all, the user's hand: it comes in
        // while the program waits for the status, through the repaint.
        bench.m_sim.Board().SetFrameObserver([&](const sim::SimFrame& frame) {
            if (frame.bytes != Bytes{0xA7, 0xD0}) return;
            QMetaObject::invokeMethod(
                &main,
                [&, host] {
                    ASSERT_FALSE(host.isNull());
                    busy = bench.m_sim.Board().BusyUntilUs() > bench.m_sim.Clock().NowUs();
                    greyed = !host->Control(IDCANCEL)->isEnabled();
                    QTest::mouseClick(host->Control(IDCANCEL), Qt::LeftButton);
                    QTest::keyClick(host.data(), Qt::Key_Escape);
                    host->close();
                    atTheClicks = bench.m_sim.Received();
                },
                Qt::QueuedConnection);
        });
        U::Click(main.Control(CPelicanDlg::IDC_ERASE));
        bench.m_sim.Board().SetFrameObserver(nullptr);
        shownAfter = !host.isNull() && host->isVisible() && host->IsWindowEnabled();
        EXPECT_EQ(bench.m_sim.Received(), (Bytes{0x70, 0x50, 0x75, 0xA7, 0xD0, 0x70}));
        U::Click(main.Control(IDCANCEL));
    });
    user.Then("Erase", [](QWidget& window) { U::Click(U::Host(window).Control(IDOK)); });
    user.ThenMessage("Erase OK.", QMessageBox::Information);
    bench.m_app->InitInstance();
    FlushDeferredDeletes();

    EXPECT_TRUE(user.Done());
    EXPECT_TRUE(busy);
    EXPECT_TRUE(greyed);
    // The probe, Clear status, Pre-erase, Erase all and the status read it waits on.
    EXPECT_EQ(atTheClicks, (Bytes{0x70, 0x50, 0x75, 0xA7, 0xD0, 0x70}));
    EXPECT_TRUE(shownAfter);
    EXPECT_EQ(user.m_shown, (std::vector<std::string>{"Select Program", "ID Check", "Pelican", "Erase",
                                                      "message Erase OK."}));
    // Exit's close step from 9600 bps, once.
    EXPECT_EQ(bench.m_sim.Received(), (Bytes{0x70, 0x50, 0x75, 0xA7, 0xD0, 0x70, 0xB0, 0xB0, 0xB0}));
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}

}  // namespace
}  // namespace pelican::test
