// Modal runs of real windows answered once each is up: typing and clicking,
// Escape, Enter and the close box, nested dialogs, message boxes, the
// file-open dialog and the wait cursor.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "IdEntryDlg.h"
#include "QtTestSupport.h"
#include "SampleDlg.h"
#include "support/TempDir.h"
#include "ui/qt/FileFilter.h"
#include "ui/qt/QtBackend.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::test {
namespace {

using namespace pelican::ui;
using S = CSampleDlg;

class QtBackendTest : public CQtBackendFixture {
protected:
    CQtDialogHost* HostOf(CDialog& dialog) { return CQtBackend::HostOf(dialog); }
    template <typename T>
    T* Widget(CDialog& dialog, int id) {
        return qobject_cast<T*>(HostOf(dialog)->Control(id));
    }
};

TEST_F(QtBackendTest, UserInputReachesTheFieldsOnOk) {
    CSampleDlg dlg;
    WhenShown([&](QWidget&) {
        CQtDialogHost* host = HostOf(dlg);
        ASSERT_NE(host, nullptr);
        EXPECT_TRUE(host->isVisible());
        EXPECT_TRUE(host->isModal());
        EXPECT_EQ(m_qt.ActiveDialog(), &dlg);
        // The fields were shown when the window opened.
        EXPECT_EQ(Widget<QLineEdit>(dlg, S::kFile)->text(), QStringLiteral("sample.mot"));
        EXPECT_EQ(Widget<QComboBox>(dlg, S::kPort)->currentText(), QStringLiteral("COM1"));
        TypeInto(Widget<QLineEdit>(dlg, S::kId), QStringLiteral("C0010"));
        TypeInto(Widget<QComboBox>(dlg, S::kPort)->lineEdit(), QStringLiteral("/dev/ttyUSB1"));
        auto* rate = Widget<QComboBox>(dlg, S::kRate);
        rate->setFocus();
        while (rate->currentIndex() < 4) QTest::keyClick(rate, Qt::Key_Down);
        while (rate->currentIndex() > 4) QTest::keyClick(rate, Qt::Key_Up);
        ClickOn(Widget<QAbstractButton>(dlg, S::kTargetBoot));
        ClickOn(Widget<QAbstractButton>(dlg, S::kVerify));
        ClickOn(Widget<QAbstractButton>(dlg, IDOK));
    });
    EXPECT_EQ(dlg.DoModal(m_qt), IDOK);
    EXPECT_EQ(dlg.m_id, "C0010");
    EXPECT_EQ(dlg.m_port, "/dev/ttyUSB1");
    EXPECT_EQ(dlg.m_rate, "115200");
    EXPECT_EQ(dlg.m_target, 1);
    EXPECT_EQ(dlg.m_verify, 1);
    EXPECT_EQ(dlg.Host(), nullptr);
    EXPECT_EQ(m_qt.ActiveDialog(), nullptr);
}

TEST_F(QtBackendTest, EscapeAndCloseBoxGoThroughOnCancel) {
    CSampleDlg dlg;
    dlg.m_refuseCancel = true;
    WhenShown([&](QWidget&) {
        CQtDialogHost* host = HostOf(dlg);
        ASSERT_NE(host, nullptr);
        // Escape in a field travels up to the window; the dialog refuses.
        PressKey(Widget<QLineEdit>(dlg, S::kId), Qt::Key_Escape);
        EXPECT_EQ(dlg.m_cancelCalls, 1);
        EXPECT_TRUE(host->isVisible());
        host->close();
        EXPECT_EQ(dlg.m_cancelCalls, 2);
        EXPECT_TRUE(host->isVisible());
        dlg.m_refuseCancel = false;
        host->close();
    });
    EXPECT_EQ(dlg.DoModal(m_qt), IDCANCEL);
    EXPECT_EQ(dlg.m_cancelCalls, 3);
    EXPECT_EQ(dlg.m_okCalls, 0);
}

TEST_F(QtBackendTest, EnterPressesTheFocusedButtonElseAnEnabledDefaultButton) {
    CSampleDlg plain(S::TemplateWithoutDefault());
    WhenShown([&](QWidget&) {
        TypeInto(Widget<QLineEdit>(plain, S::kId), QStringLiteral("C0010"));
        PressKey(Widget<QLineEdit>(plain, S::kId), Qt::Key_Return);  // no default button: nothing
        EXPECT_EQ(plain.m_okCalls, 0);
        EXPECT_EQ(plain.m_commands, 0);
        // A focused button: Enter is its press, once, whichever the default.
        // "Refer..." opens its own dialog, where Enter on the focused Cancel
        // (not the default OK) closes it.
        WhenShown([&](QWidget&) {
            CQtDialogHost* inner = HostOf(*m_qt.ActiveDialog());
            ASSERT_NE(inner, nullptr);
            TypeInto(inner->Control(CIdEntryDlg::kText), QStringLiteral("typed"));
            PressKey(inner->Control(IDCANCEL), Qt::Key_Return);
        });
        PressKey(Widget<QPushButton>(plain, S::kRefer), Qt::Key_Enter);
        EXPECT_EQ(plain.m_commands, 1);
        EXPECT_EQ(plain.m_referResult, IDCANCEL);
        EXPECT_EQ(plain.m_okCalls, 0);
        EXPECT_TRUE(HostOf(plain)->isVisible());
        PressKey(Widget<QPushButton>(plain, IDCANCEL), Qt::Key_Return);
    });
    EXPECT_EQ(plain.DoModal(m_qt), IDCANCEL);
    EXPECT_EQ(plain.m_commands, 1);

    CSampleDlg withDefault;
    WhenShown([&](QWidget&) {
        TypeInto(Widget<QLineEdit>(withDefault, S::kId), QStringLiteral("C0010"));
        PressKey(Widget<QPushButton>(withDefault, IDCANCEL), Qt::Key_Enter);  // not the default OK
    });
    EXPECT_EQ(withDefault.DoModal(m_qt), IDCANCEL);
    EXPECT_EQ(withDefault.m_okCalls, 0);

    // With a default button: Enter is its press, refused while the ID is
    // empty (with the dialog's own message), accepted once typed.
    CSampleDlg dlg;
    WhenShown([&](QWidget&) {
        auto* id = Widget<QLineEdit>(dlg, S::kId);
        HostOf(dlg)->EnableControl(IDOK, false);
        PressKey(id, Qt::Key_Return);
        EXPECT_EQ(dlg.m_okCalls, 0);
        HostOf(dlg)->EnableControl(IDOK, true);
        WhenShown([&](QWidget&) {
            auto* box = TopModal<QMessageBox>();
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), QStringLiteral("Enter the ID."));
            ClickOn(box->button(QMessageBox::Ok));
        });
        PressKey(id, Qt::Key_Return);
        EXPECT_EQ(dlg.m_okCalls, 1);
        EXPECT_TRUE(HostOf(dlg)->isVisible());
        TypeInto(id, QStringLiteral("C0010"));
        PressKey(id, Qt::Key_Enter);
    });
    EXPECT_EQ(dlg.DoModal(m_qt), IDOK);
    EXPECT_EQ(dlg.m_okCalls, 2);
    EXPECT_EQ(dlg.m_id, "C0010");
}

TEST_F(QtBackendTest, NestedModalDialogIsOwnedByTheOuterOneAndActive) {
    CSampleDlg dlg;
    WhenShown([&](QWidget&) {
        CQtDialogHost* outer = HostOf(dlg);
        WhenShown([&, outer](QWidget&) {
            CDialog* inner = m_qt.ActiveDialog();
            ASSERT_NE(inner, nullptr);
            EXPECT_EQ(inner->Template().id, CIdEntryDlg::kTemplateId);
            EXPECT_EQ(HostOf(*inner)->parentWidget(), outer);
            EXPECT_EQ(QApplication::activeModalWidget(), HostOf(*inner));
            TypeInto(Widget<QLineEdit>(*inner, CIdEntryDlg::kText), QStringLiteral("ABCDEF"));
            ClickOn(Widget<QAbstractButton>(*inner, IDOK));
        });
        ClickOn(Widget<QAbstractButton>(dlg, S::kRefer));
        EXPECT_EQ(Widget<QLineEdit>(dlg, S::kId)->text(), QStringLiteral("ABCDEF"));
        ClickOn(Widget<QAbstractButton>(dlg, IDOK));
    });
    EXPECT_EQ(dlg.DoModal(m_qt), IDOK);
    EXPECT_EQ(dlg.m_referResult, IDOK);
    EXPECT_TRUE(dlg.m_innerWasActive);
    EXPECT_EQ(dlg.m_activeAfterRefer, &dlg);
    EXPECT_EQ(dlg.m_id, "ABCDEF");
}

TEST_F(QtBackendTest, DialogEndedWhileInitialisingIsNeverShown) {
    class CClosesAtOnce : public CDialog {
    public:
        CClosesAtOnce() : CDialog(CIdEntryDlg::Template()) {}
        bool OnInitDialog() override {
            EndDialog(-1);
            return true;
        }
    } dlg;
    EXPECT_EQ(dlg.DoModal(m_qt), -1);
    EXPECT_EQ(dlg.Host(), nullptr);
}

TEST_F(QtBackendTest, MessageBoxShowsCaptionTextIconAndOneOk) {
    const std::pair<Icon, QMessageBox::Icon> cases[] = {
        {Icon::Stop, QMessageBox::Critical},       {Icon::Exclamation, QMessageBox::Warning},
        {Icon::Warning, QMessageBox::Warning},     {Icon::Information, QMessageBox::Information},
        {Icon::None, QMessageBox::NoIcon},
    };
    m_qt.BeginWaitCursor();
    for (const auto& [icon, expected] : cases) {
        WhenShown([expected = expected](QWidget&) {
            auto* box = TopModal<QMessageBox>();
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), QStringLiteral("Pelican"));
            EXPECT_EQ(box->text(), QStringLiteral("Timeout.\nPush <RESET>."));
            EXPECT_EQ(box->icon(), expected);
            EXPECT_EQ(box->buttons().size(), 1);
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
            // The arrow, not the wait cursor, over a window that asks.
            ASSERT_NE(QApplication::overrideCursor(), nullptr);
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
            PressKey(box, Qt::Key_Escape);
        });
        EXPECT_EQ(MessageBox(m_qt, "Timeout.\nPush <RESET>.", icon), IDOK);
    }
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    m_qt.EndWaitCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtBackendTest, FileFilterKeepsNamesAndMakesPatternsWork) {
    EXPECT_EQ(ConvertFileFilter("Name (*.s;*.mot)|*.s;*.mot|Boot Program (*.btp)|*.btp|All Files (*.*)|*.*|"),
              (QStringList{"Name (*.s *.mot)", "Boot Program (*.btp)", "All Files (*)"}));
    EXPECT_EQ(ConvertFileFilter("ID file|*.id|"), QStringList{"ID file (*.id)"});
    EXPECT_EQ(ConvertFileFilter("Odd ( *.a ; *.b )|*.a ; ;*.b|Dangling"), QStringList{"Odd (*.a *.b)"});
    EXPECT_TRUE(ConvertFileFilter("").isEmpty());
}

TEST_F(QtBackendTest, FileOpenDialogStartsWhereAskedAndReturnsTheChoice) {
    CTempDir dir;
    dir.Write("prog.mot", "S9030000FC\n");
    FileOpenRequest request;
    request.filter = "Name (*.s;*.mot)|*.s;*.mot|All Files (*.*)|*.*|";
    request.initialPath = dir.Path();
    WhenShown([&](QWidget&) {
        auto* box = TopModal<QFileDialog>();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->nameFilters(), (QStringList{"Name (*.s *.mot)", "All Files (*)"}));
        EXPECT_EQ(QDir(box->directory()).canonicalPath(), QDir(QString::fromStdString(dir.Path())).canonicalPath());
        EXPECT_EQ(box->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(box->acceptMode(), QFileDialog::AcceptOpen);
        box->selectFile(QString::fromStdString(dir.File("prog.mot")));
        static_cast<QDialog*>(box)->accept();  // the file dialog checks the choice
    });
    std::string path;
    ASSERT_TRUE(m_qt.GetOpenFileName(request, path));
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).canonicalFilePath(),
              QFileInfo(QString::fromStdString(dir.File("prog.mot"))).canonicalFilePath());

    WhenShown([](QWidget& box) { static_cast<QDialog&>(box).reject(); });
    std::string untouched = "before";
    EXPECT_FALSE(m_qt.GetOpenFileName(request, untouched));
    EXPECT_EQ(untouched, "before");
}

TEST_F(QtBackendTest, WaitCursorsNestAndAnUnmatchedEndTakesNothing) {
    QApplication::setOverrideCursor(QCursor(Qt::CrossCursor));  // someone else's
    {
        CWaitCursor outer(m_qt);
        CWaitCursor inner(m_qt);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        inner.Restore();
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    m_qt.EndWaitCursor();
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace pelican::test
