// Renders Pelican's windows off screen into the folder given, as the PNG
// pictures the README and its pages show (scripts/screenshots.sh). Not a test: it asserts
// nothing but that each picture was written.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <cstdio>
#include <string>

#include "app/AboutDlg.h"
#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "commands/DownloadDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/SetAddressDlg.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"
#include "commands/IDCheckDlg.h"
#include "commands/SetCommDlg.h"
#include "support/SimBench.h"
#include "ui/ProgressDlg.h"
#include "ui/qt/DialogRenderer.h"
#include "ui/qt/QtBackend.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::test {
namespace {

int Render(const std::string& out) {
    int failed = 0;
    auto check = [&failed](bool written, const char* name) {
        if (written) return;
        std::fprintf(stderr, "screenshots: %s not written\n", name);
        ++failed;
    };
    // The windows need an application to act on; none of them talks to it.
    CSimBench bench;
    CPelicanApp app{bench.MakeDevice(), bench.Clock()};
    // The status line after a read check that passed: the board on COM1 at
    // 115200 bps, a file taken and the ID passed.
    app.m_port.Open("COM1");
    app.ApplyPortState(app.m_port, 115200, 8, 0, 0);
    app.m_linkReady = 1;
    app.m_idChecked = 1;
    app.m_imagePath = "/home/user/firmware/prog.mot";
    app.Session().rangeStart = "0C0000";
    app.Session().rangeEnd = "0C3FFF";
    CPelicanDlg main(app);
    main.SetLastResult(CPelicanDlg::IDC_READ, Outcome::Done);
    check(ui::RenderDialogToPng(main, out + "/main-window.png"), "main-window.png");
    CStatesDlg states;
    states.SetStatus(0x80, 0x0C);
    check(ui::RenderDialogToPng(states, out + "/status.png"), "status.png");
    CVersionDlg version;
    version.SetVersion("VER.1.00");
    check(ui::RenderDialogToPng(version, out + "/version.png"), "version.png");
    BoardSession session;
    CSetCommDlg setComm(session);
    setComm.SetBaudText(115200);
    check(ui::RenderDialogToPng(setComm, out + "/set-baudrate.png"), "set-baudrate.png");
    CS_PrgDlg select({"COM1", "COM2", "COM3", "COM4", "/dev/ttyACM0", "/dev/ttyUSB0"},
                     {{"/dev/ttyACM0", "Arduino (www.arduino.cc), serial 85734323430351F0B0E1"},
                      {"/dev/ttyUSB0", "FT232R USB UART (FTDI), serial A6008isP"}});
    check(ui::RenderDialogToPng(select, out + "/select-program.png"), "select-program.png");
    {
        // The port list open: each adapter's names beside its port, whole.
        ui::CQtDialogHost host(select, nullptr);
        host.Attach();
        select.OnInitDialog();
        host.show();
        auto* combo = qobject_cast<QComboBox*>(host.Control(CS_PrgDlg::IDC_PORT));
        check(combo != nullptr, "the port list");
        if (combo != nullptr) {
            combo->showPopup();
            QApplication::processEvents();
            check(combo->view()->window()->grab().save(QString::fromStdString(out + "/port-list.png"), "PNG"),
                  "port-list.png");
            combo->hidePopup();
        }
    }
    CIDCheckDlg idCheck(app);
    idCheck.m_filePath = "/home/user/firmware/prog.mot";
    idCheck.m_id = {"01", "02", "03", "04", "05", "06", "07"};
    check(ui::RenderDialogToPng(idCheck, out + "/id-check.png"), "id-check.png");
    CAboutDlg about;
    check(ui::RenderDialogToPng(about, out + "/about.png"), "about.png");
    CSetAddressDlg inputAddress(session);
    check(ui::RenderDialogToPng(inputAddress, out + "/input-address.png"), "input-address.png");
    CDownloadDlg download;
    check(ui::RenderDialogToPng(download, out + "/download.png"), "download.png");
    CPreWriteDlg preWrite;
    preWrite.SetRange("0C0000", "0C3FFF");
    check(ui::RenderDialogToPng(preWrite, out + "/program-next-area.png"), "program-next-area.png");
    // The progress window as a blank check shows it, a third of the way.
    ui::CQtBackend qt;
    int cancel = 0;
    auto progress = ui::CProgressDlg::OpenProgress(qt, &cancel);
    check(progress != nullptr, "the progress window");
    if (progress != nullptr) {
        progress->BeginProgress("Blank check.", "Blank Check", 0, 130, 0);
        progress->SetProgressPos(43);
        progress->SetProgressNote("85 of 256 pages, 9.6 KiB/s, 0:05 left");
        check(ui::CQtBackend::HostOf(*progress)->grab().save(QString::fromStdString(out + "/progress.png"), "PNG"),
              "progress.png");
        progress.reset();
    }
    // The erase: no pages to count, the seconds waited against the bound.
    int closed = 0;
    auto erase = ui::CProgressDlg::OpenProgress(qt, &closed);
    check(erase != nullptr, "the erase window");
    if (erase != nullptr) {
        erase->BeginProgress("Erasing the flash.", "Erase", 0, 40, 0);
        erase->SetProgressPos(12);
        erase->EnableCancel(false);
        erase->SetProgressNote("12 s of at most 40 s");
        check(ui::CQtBackend::HostOf(*erase)->grab().save(QString::fromStdString(out + "/erase.png"), "PNG"),
              "erase.png");
        erase.reset();
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace
}  // namespace pelican::test

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pelican_screenshots FOLDER\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(PELICAN_ICON)));
    return pelican::test::Render(argv[1]);
}
