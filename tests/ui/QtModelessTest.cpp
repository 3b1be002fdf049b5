// The modeless window (shaped like the progress window): shown without
// blocking, closed by the user in four ways, destroyed from inside its own
// handler, and usable while its owner is disabled.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>

#include "ProgressTestDlg.h"
#include "QtTestSupport.h"
#include "SampleDlg.h"
#include "ui/qt/QtBackend.h"
#include "ui/ProgressDlg.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::test {
namespace {

using namespace pelican::ui;
using P = CProgressTestDlg;

using QtModelessTest = CQtBackendFixture;

TEST_F(QtModelessTest, UserCloseCallsOnCancelWhichMayDestroyEverything) {
    const std::pair<const char*, std::function<void(CQtDialogHost&)>> ways[] = {
        {"close box", [](CQtDialogHost& host) { host.close(); }},
        {"Escape", [](CQtDialogHost& host) { PressKey(host.Control(IDCANCEL), Qt::Key_Escape); }},
        {"Cancel", [](CQtDialogHost& host) { qobject_cast<QAbstractButton*>(host.Control(IDCANCEL))->click(); }},
        {"Enter on Cancel", [](CQtDialogHost& host) { PressKey(host.Control(IDCANCEL), Qt::Key_Return); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        int cancel = 0;
        auto* progress = new CProgressTestDlg(cancel, true);
        ASSERT_TRUE(m_qt.CreateModeless(*progress));
        QPointer<CQtDialogHost> host = CQtBackend::HostOf(*progress);
        ASSERT_FALSE(host.isNull());
        EXPECT_TRUE(host->isVisible());
        EXPECT_FALSE(host->isModal());
        EXPECT_EQ(m_qt.ActiveDialog(), nullptr);  // modeless windows are not modal runs

        host->SetRange(P::kBar, 0, 130);
        host->SetPos(P::kBar, 40);
        EXPECT_EQ(qobject_cast<QProgressBar*>(host->Control(P::kBar))->value(), 40);
        // Enter does nothing in a window without a default button, unless
        // a button has the focus.
        PressKey(host->Control(P::kBar), Qt::Key_Return);
        m_qt.PumpMessages();
        EXPECT_EQ(cancel, 0);

        close(*host);
        EXPECT_EQ(cancel, 1);
        EXPECT_EQ(CProgressTestDlg::s_alive, 0);
        // The window goes once the event loop has it back.
        ASSERT_FALSE(host.isNull());
        EXPECT_FALSE(host->isVisible());
        EXPECT_EQ(host->Dialog(), nullptr);
        host->close();  // anything more from the window reaches nobody
        FlushDeferredDeletes();
        EXPECT_TRUE(host.isNull());
    }
}

TEST_F(QtModelessTest, DestroyAndCloseOutsideTheWindowAreSafe) {
    int cancel = 0;
    CProgressTestDlg progress(cancel, false);
    ASSERT_TRUE(m_qt.CreateModeless(progress));
    EXPECT_FALSE(m_qt.CreateModeless(progress));  // shown already
    m_qt.PumpMessages();
    progress.OnCancel();  // as CloseProgress does
    EXPECT_EQ(cancel, 1);
    EXPECT_EQ(progress.Host(), nullptr);
    m_qt.DestroyModeless(progress);  // a second time does nothing
    progress.EndDialog(IDOK);        // nor does anything sent to a window that is gone
}

TEST_F(QtModelessTest, ProgressWindowStaysUsableWhileItsOwnerIsDisabled) {
    CSampleDlg main;
    int cancel = 0;
    Later([&] {
        CQtDialogHost* owner = CQtBackend::HostOf(main);
        ASSERT_NE(owner, nullptr);
        // What the progress window does to its owner when it opens.
        CProgressTestDlg* progress = new CProgressTestDlg(cancel, true);
        ASSERT_TRUE(m_qt.CreateModeless(*progress));
        CQtDialogHost* window = CQtBackend::HostOf(*progress);
        EXPECT_EQ(window->parentWidget(), owner);
        owner->EnableWindow(false);
        window->EnableWindow(true);
        EXPECT_TRUE(window->IsWindowEnabled());
        EXPECT_TRUE(window->Control(IDCANCEL)->isEnabled());
        EXPECT_FALSE(owner->Control(IDCANCEL)->isEnabled());

        // The disabled owner takes neither keys nor its close box.
        PressKey(owner->Control(CSampleDlg::kId), Qt::Key_Escape);
        owner->close();
        EXPECT_EQ(main.m_cancelCalls, 0);
        EXPECT_TRUE(owner->isVisible());

        qobject_cast<QAbstractButton*>(window->Control(IDCANCEL))->click();
        EXPECT_EQ(cancel, 1);
        owner->EnableWindow(true);
        qobject_cast<QLineEdit*>(owner->Control(CSampleDlg::kId))->setText(QStringLiteral("C0010"));
        qobject_cast<QAbstractButton*>(owner->Control(IDOK))->click();
    });
    EXPECT_EQ(main.DoModal(), IDOK);
    EXPECT_EQ(main.m_id, "C0010");
    EXPECT_EQ(CProgressTestDlg::s_alive, 0);
}

TEST_F(QtModelessTest, ProgressWindowGivesTheActiveDialogBackTheStateItHad) {
    CSampleDlg main;
    Later([&] {
        CQtDialogHost* owner = CQtBackend::HostOf(main);
        ASSERT_NE(owner, nullptr);
        for (const bool ownerEnabled : {true, false}) {
            owner->EnableWindow(ownerEnabled);
            int cancel = 0;
            auto progress = CProgressDlg::OpenProgress(&cancel);
            ASSERT_NE(progress, nullptr);
            QPointer<CQtDialogHost> window = CQtBackend::HostOf(*progress);
            EXPECT_TRUE(window->isVisible());
            EXPECT_FALSE(owner->IsWindowEnabled());
            // Enter does nothing without a default button, unless a button has the focus.
            PressKey(window->Control(CProgressDlg::IDC_PROGRESS), Qt::Key_Return);
            EXPECT_EQ(cancel, 0);
            PressKey(window->Control(IDCANCEL), Qt::Key_Escape);
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
    });
    EXPECT_EQ(main.DoModal(), IDCANCEL);
}

TEST_F(QtModelessTest, RepaintingTakesNoInput) {
    CSampleDlg main;
    Later([&] {
        CQtDialogHost* owner = CQtBackend::HostOf(main);
        ASSERT_NE(owner, nullptr);
        // A close request that arrives while the program waits for the
        // device reaches no handler.
        CQtDialogHost::BlockInput(true);
        owner->close();
        PressKey(owner->Control(CSampleDlg::kId), Qt::Key_Escape);
        CQtDialogHost::BlockInput(false);
        m_qt.RepaintWindows();
        EXPECT_EQ(main.m_cancelCalls, 0);
        EXPECT_FALSE(CQtDialogHost::InputBlocked());
        owner->close();
    });
    EXPECT_EQ(main.DoModal(), IDCANCEL);
    EXPECT_EQ(main.m_cancelCalls, 1);
}

}  // namespace
}  // namespace pelican::test
