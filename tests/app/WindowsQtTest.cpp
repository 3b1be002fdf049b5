// Pelican's own windows drawn by the Qt back end off screen: every control
// at its dialog-unit position, the main window's buttons where the layout
// puts them. With PELICAN_SNAPSHOT_DIR set, the windows are also written as
// PNG pictures there (scripts/screenshots.sh does this for docs/).
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <cstdlib>
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
#include "image/IDCheckDlg.h"
#include "image/SelectDlg.h"
#include "link/posix/PosixPortList.h"
#include "link/SetCommDlg.h"
#include "support/SimBench.h"
#include "ui/ProgressDlg.h"
#include "ui/qt/DialogRenderer.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/QtBackend.h"
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

// Dialog units to pixels on those bases, rounded to nearest (every value
// in a template is positive).
int PixelsX(int units, Bases bases = kBases) {
    return (units * bases.x * 2 + 4) / 8;
}
int PixelsY(int units, Bases bases = kBases) {
    return (units * bases.y * 2 + 8) / 16;
}

void ExpectAtDialogUnits(ui::CDialog& dialog, Bases bases, QSize client) {
    ui::CQtDialogHost host(dialog, nullptr);
    const auto& tmpl = dialog.Template();
    SCOPED_TRACE(tmpl.title);
    EXPECT_EQ(host.Units().BaseX(), bases.x);
    EXPECT_EQ(host.Units().BaseY(), bases.y);
    for (size_t i = 0; i < tmpl.controls.size(); ++i) {
        const auto& c = tmpl.controls[i];
        if (c.kind == ControlKind::ComboBox || c.kind == ControlKind::Icon || c.kind == ControlKind::Etched) continue;
        QWidget* widget = host.ControlAt(i);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(),
                  QRect(PixelsX(c.x, bases), PixelsY(c.y, bases), PixelsX(c.cx, bases), PixelsY(c.cy, bases)))
            << c.caption;
    }
    EXPECT_EQ(host.Client()->size(), client);
    EXPECT_EQ(client, QSize(PixelsX(tmpl.cx, bases), PixelsY(tmpl.cy, bases)));
}

TEST(PelicanWindows, MainWindowButtonsSitAtTheirPositions) {
    CWindowsApp windows;
    CPelicanDlg dlg(windows.app);
    ui::CQtDialogHost host(dlg, nullptr);
    const std::pair<int, QPoint> positions[] = {
        {1005, {36, 10}},  {1006, {36, 42}},   {1007, {36, 74}},   {1034, {36, 106}},
        {1010, {36, 138}}, {1008, {35, 172}},  {1009, {130, 10}},  {1000, {130, 42}},
        {1015, {130, 74}}, {1063, {130, 106}}, {1064, {130, 138}}, {2, {85, 210}},
    };
    for (const auto& [id, at] : positions) {
        auto* button = qobject_cast<QPushButton*>(host.Control(id));
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->geometry(), QRect(PixelsX(at.x()), PixelsY(at.y()), PixelsX(50), PixelsY(14))) << id;
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
    CSetCommDlg setComm;
    CS_PrgDlg select(PosixPortList());
    CFirstSetDlg firstSet;
    CIDCheckDlg idCheck(windows.app);
    CSelectDlg fileSelect(windows.app);
    CPreEraseDlg preErase;
    CAboutDlg about;
    CSetAddressDlg inputAddress;
    CDownloadDlg download;
    CPreWriteDlg preWrite;
    // The client areas in pixels.
    const Bases status{7, 14};
    const std::tuple<ui::CDialog*, Bases, QSize> dialogs[] = {
        {&main, kBases, {389, 379}},        {&states, status, {376, 257}},     {&version, kBases, {208, 106}},
        {&setComm, kBases, {284, 120}},     {&select, kBases, {326, 179}},     {&firstSet, kBases, {298, 101}},
        {&idCheck, kBases, {459, 192}},     {&fileSelect, kBases, {459, 101}}, {&preErase, kBases, {235, 88}},
        {&about, kBases, {380, 109}},       {&inputAddress, kBases, {256, 127}}, {&download, kBases, {235, 88}},
        {&preWrite, kBases, {298, 120}},
    };
    for (const auto& [dialog, bases, client] : dialogs) ExpectAtDialogUnits(*dialog, bases, client);
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

TEST(PelicanWindows, Snapshots) {
    const char* dir = std::getenv("PELICAN_SNAPSHOT_DIR");
    if (dir == nullptr) GTEST_SKIP() << "PELICAN_SNAPSHOT_DIR not set";
    const std::string out = dir;
    CWindowsApp windows;
    CPelicanDlg main(windows.app);
    EXPECT_TRUE(ui::RenderDialogToPng(main, out + "/main-window.png"));
    CStatesDlg states;
    states.SetStatus(0x80, 0x0C);
    EXPECT_TRUE(ui::RenderDialogToPng(states, out + "/status.png"));
    CVersionDlg version;
    version.SetVersion("VER.1.00");
    EXPECT_TRUE(ui::RenderDialogToPng(version, out + "/version.png"));
    CSetCommDlg setComm;
    setComm.SetBaudText(115200);
    EXPECT_TRUE(ui::RenderDialogToPng(setComm, out + "/set-baudrate.png"));
    CS_PrgDlg select({"COM1", "COM2", "COM3", "COM4", "/dev/ttyACM0", "/dev/ttyUSB0"},
                     {{"/dev/ttyACM0", "Arduino (www.arduino.cc), serial 85734323430351F0B0E1"},
                      {"/dev/ttyUSB0", "FT232R USB UART (FTDI), serial A6008isP"}});
    EXPECT_TRUE(ui::RenderDialogToPng(select, out + "/select-program.png"));
    {
        // The port list open: each adapter's names beside its port, whole.
        ui::CQtDialogHost host(select, nullptr);
        host.Attach();
        select.OnInitDialog();
        host.show();
        auto* combo = qobject_cast<QComboBox*>(host.Control(CS_PrgDlg::IDC_PORT));
        ASSERT_NE(combo, nullptr);
        combo->showPopup();
        QApplication::processEvents();
        EXPECT_TRUE(combo->view()->window()->grab().save(QString::fromStdString(out + "/port-list.png"), "PNG"));
        combo->hidePopup();
    }
    CIDCheckDlg idCheck(windows.app);
    idCheck.m_filePath = "/home/user/firmware/prog.mot";
    idCheck.m_id = {"01", "02", "03", "04", "05", "06", "07"};
    EXPECT_TRUE(ui::RenderDialogToPng(idCheck, out + "/id-check.png"));
    CAboutDlg about;
    EXPECT_TRUE(ui::RenderDialogToPng(about, out + "/about.png"));
    CSetAddressDlg inputAddress;
    EXPECT_TRUE(ui::RenderDialogToPng(inputAddress, out + "/input-address.png"));
    CDownloadDlg download;
    EXPECT_TRUE(ui::RenderDialogToPng(download, out + "/download.png"));
    CPreWriteDlg preWrite;
    preWrite.SetRange("0C0000", "0C3FFF");
    EXPECT_TRUE(ui::RenderDialogToPng(preWrite, out + "/program-next-area.png"));
    // The progress window as a blank check shows it, a third of the way.
    ui::CQtBackend qt;
    ui::SetBackend(&qt);
    int cancel = 0;
    auto progress = ui::CProgressDlg::OpenProgress(&cancel);
    ASSERT_NE(progress, nullptr);
    progress->BeginProgress("Blank check.", "Blank Check", 0, 130, 0);
    progress->SetProgressPos(43);
    EXPECT_TRUE(ui::CQtBackend::HostOf(*progress)->grab().save(QString::fromStdString(out + "/progress.png"), "PNG"));
    progress.reset();
    ui::SetBackend(nullptr);
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
