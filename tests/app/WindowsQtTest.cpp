// Pelican's own windows built by the Qt back end off screen: each on the
// bases of the font it really gets and at its client size in pixels, the
// main window's buttons and menu.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <tuple>
#include <memory>

#include "app/AboutDlg.h"
#include "app/FirstSetDlg.h"
#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "commands/DownloadDlg.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/SetAddressDlg.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"
#include "commands/IDCheckDlg.h"
#include "commands/SelectDlg.h"
#include "link/posix/PosixPortList.h"
#include "commands/SetCommDlg.h"
#include "support/SimBench.h"
#include "support/TempDir.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::test {
namespace {

using ui::ControlKind;

// The windows need an application to act on; none of them talks to it here.
struct CWindowsApp {
    CSimBench bench;
    CPelicanApp app{bench.MakeDevice(), bench.Clock()};
};

// Bases measured once on DejaVu Sans, which replaces the templates' face
// when the tests render off screen: at 8 pt its 52 letters average a little
// over 13 pixels a pair, a horizontal base of 7; its line is 13 pixels high
// (14 in the status window's template).
struct Bases {
    int x, y;
};
constexpr Bases kBases{7, 13};

void ExpectBasesAndClient(ui::CDialog& dialog, Bases bases, QSize client) {
    ui::CQtDialogHost host(dialog, nullptr);
    SCOPED_TRACE(dialog.Template().title);
    EXPECT_EQ(host.Units().BaseX(), bases.x);
    EXPECT_EQ(host.Units().BaseY(), bases.y);
    for (size_t i = 0; i < dialog.Template().controls.size(); ++i) EXPECT_NE(host.ControlAt(i), nullptr) << i;
    EXPECT_EQ(host.Client()->size(), client);
}

TEST(PelicanWindows, MainWindowButtonsSitAtTheirPositions) {
    CWindowsApp windows;
    CPelicanDlg dlg(windows.app);
    ui::CQtDialogHost host(dlg, nullptr);
    // Its first and last buttons, in pixels on the bases above.
    EXPECT_EQ(host.Control(1005)->geometry(), QRect(63, 16, 88, 23));
    EXPECT_EQ(host.Control(2)->geometry(), QRect(149, 341, 88, 23));
    for (const int id : {1005, 1006, 1007, 1034, 1010, 1008, 1009, 1000, 1015, 1063, 1064, 2}) {
        auto* button = qobject_cast<QPushButton*>(host.Control(id));
        ASSERT_NE(button, nullptr) << id;
        EXPECT_FALSE(button->isDefault()) << id;
    }
    EXPECT_EQ(host.windowTitle(), QStringLiteral("Pelican"));
    // Above the buttons: "Save flash to file..." in a File menu, "About
    // Pelican..." in a Help menu; each sends its command to the window.
    auto* bar = host.findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(bar->actions()[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(bar->actions()[1]->text(), QStringLiteral("&Help"));
    QMenu* file = bar->actions()[0]->menu();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->actions().size(), 2);
    EXPECT_EQ(file->actions()[0]->text(), QStringLiteral("&Save flash to file..."));
    // The check item shows the choice the window sets, and only that.
    QAction* skip = file->actions()[1];
    EXPECT_EQ(skip->text(), QStringLiteral("S&kip pages without data"));
    EXPECT_TRUE(skip->isCheckable());
    EXPECT_FALSE(skip->isChecked());
    host.SetCheck(CPelicanDlg::IDM_SKIPEMPTY, 1);
    EXPECT_TRUE(skip->isChecked());
    EXPECT_EQ(host.GetCheck(CPelicanDlg::IDM_SKIPEMPTY), 1);
    EXPECT_EQ(bar->actions()[1]->menu()->actions()[0]->text(), QStringLiteral("&About Pelican..."));
}

TEST(PelicanWindows, EveryTemplateBuildsAtDialogUnits) {
    CWindowsApp windows;
    CPelicanDlg main(windows.app);
    CStatesDlg states;
    CVersionDlg version;
    CSetCommDlg setComm(windows.app.Session());
    CS_PrgDlg select(PosixPortList());
    CFirstSetDlg firstSet;
    CIDCheckDlg idCheck(windows.app);
    CSelectDlg fileSelect(windows.app);
    CPreEraseDlg preErase;
    CAboutDlg about;
    CSetAddressDlg inputAddress(windows.app.Session());
    CDownloadDlg download;
    CPreWriteDlg preWrite;
    // The client areas in pixels.
    const Bases status{7, 14};
    const std::tuple<ui::CDialog*, Bases, QSize> dialogs[] = {
        {&main, kBases, {389, 426}},        {&states, status, {376, 257}},     {&version, kBases, {208, 106}},
        {&setComm, kBases, {284, 120}},     {&select, kBases, {326, 179}},     {&firstSet, kBases, {298, 101}},
        {&idCheck, kBases, {459, 192}},     {&fileSelect, kBases, {459, 101}}, {&preErase, kBases, {235, 88}},
        {&about, kBases, {380, 109}},       {&inputAddress, kBases, {256, 127}}, {&download, kBases, {235, 88}},
        {&preWrite, kBases, {298, 120}},
    };
    for (const auto& [dialog, bases, client] : dialogs) ExpectBasesAndClient(*dialog, bases, client);
}

TEST(PelicanWindows, ThePortListShowsAnAdaptersNamesWhole) {
    CWindowsApp windows;
    const std::string entry = "/dev/ttyUSB0 - FT232R USB UART (FTDI), serial A6008isP";
    CS_PrgDlg select({"COM1", "/dev/ttyUSB0"}, {{"/dev/ttyUSB0", "FT232R USB UART (FTDI), serial A6008isP"}});
    ui::CQtDialogHost host(select, nullptr);
    host.Attach();
    select.OnInitDialog();
    auto* combo = qobject_cast<QComboBox*>(host.Control(CS_PrgDlg::IDC_PORT));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1).toStdString(), entry);
    // Wider than the box itself, and not cut short.
    EXPECT_GE(combo->view()->minimumWidth(), combo->view()->fontMetrics().horizontalAdvance(QString::fromStdString(entry)));
    EXPECT_GT(combo->view()->minimumWidth(), combo->width());
    EXPECT_EQ(combo->view()->textElideMode(), Qt::ElideNone);
}

// The ID Check dialog shown and active, as at start-up.
struct CShownIdCheck {
    CShownIdCheck() {
        host.Attach();
        idCheck.OnInitDialog();
        host.show();
        host.activateWindow();
    }
    ~CShownIdCheck() { host.Detach(); }
    CWindowsApp windows;
    CIDCheckDlg idCheck{windows.app};
    ui::CQtDialogHost host{idCheck, nullptr};
};

// An ID is typed in one go: each field takes two characters and hands the
// focus on to the next; a longer text put in is cut to two.
TEST(PelicanWindows, IdFieldsTakeTwoCharactersAndMoveOn) {
    CShownIdCheck shown;
    ui::CQtDialogHost& host = shown.host;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    host.Control(CIDCheckDlg::IDC_ID1)->setFocus();
    for (const char key : std::string("0102030405060")) QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_EQ(QApplication::focusWidget(), host.Control(CIDCheckDlg::IDC_ID1 + 6));
    QTest::keyClick(QApplication::focusWidget(), '7');
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(host.GetText(CIDCheckDlg::IDC_ID1 + i), "0" + std::to_string(i + 1)) << i;
    EXPECT_NE(QApplication::focusWidget(), host.Control(CIDCheckDlg::IDC_ID1 + 6));
    auto* field = qobject_cast<QLineEdit*>(host.Control(CIDCheckDlg::IDC_ID1));
    ASSERT_NE(field, nullptr);
    field->setText(QStringLiteral("123"));
    EXPECT_EQ(host.GetText(CIDCheckDlg::IDC_ID1), "12");
}

// A path typed into "FilePath" is taken when the focus leaves it: the ".id"
// beside it fills the ID fields.
TEST(PelicanWindows, LeavingATypedPathFillsTheId) {
    CTempDir dir;
    dir.Write("prog.mot", "S2060C00001122BA\nS9030000FC\n");
    dir.Write("prog.id", "FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n");
    CShownIdCheck shown;
    ui::CQtDialogHost& host = shown.host;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    QWidget* path = host.Control(CIDCheckDlg::IDC_FILEPATH);
    path->setFocus();
    QTest::keyClicks(path, QString::fromStdString(dir.File("prog.mot")));
    EXPECT_EQ(host.GetText(CIDCheckDlg::IDC_ID1), "");
    QTest::keyClick(path, Qt::Key_Tab);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(host.GetText(CIDCheckDlg::IDC_ID1 + i), "0" + std::to_string(i + 1)) << i;
}

TEST(PelicanWindows, VersionBytesShowAsSingleByteCharacters) {
    CVersionDlg version;
    version.SetVersion("V\xE9r\xB5\x80" "1.0");
    ui::CQtDialogHost host(version, nullptr);
    host.Attach();
    version.OnInitDialog();
    auto* field = qobject_cast<QLineEdit*>(host.Control(CVersionDlg::IDC_VERSION));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), QString::fromLatin1("V\xE9r\xB5\x80" "1.0"));
    host.Detach();
}

}  // namespace
}  // namespace pelican::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(PELICAN_ICON)));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
