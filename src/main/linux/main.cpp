// pelican: the window program, the window program on a simulated board, or
// batch mode when actions are named on the command line. This is the one
// place where the program is put together from its parts:
//   the serial back end   POSIX termios devices (CPosixSerialDevice)
//   the clock             the real clock (its pauses, and the port's waits,
//                         are where a signal is looked at; it is acted on
//                         once the exchange in flight is over)
//   the window back end   Qt windows, or the scripted back end of batch mode
//   the board             a real one on the named port, or under --simulate
//                         the simulated board on a pseudo-terminal
#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <iostream>
#include <memory>

#include "SimulatedBoard.h"
#include "SimulatedModemLines.h"
#include "app/PelicanApp.h"
#include "batch/BatchOptions.h"
#include "batch/BatchRunner.h"
#include "batch/BoardLink.h"
#include "batch/GangRunner.h"
#include "batch/PortListing.h"
#include "batch/WindowSignals.h"
#include "link/PortNotes.h"
#include "link/posix/PosixPortList.h"
#include "link/posix/PosixSerialDevice.h"
#include "sys/Clock.h"
#include "sys/Paths.h"
#include "ui/Messages.h"
#include "ui/qt/QtBackend.h"
#include "ui/scripted/ScriptedBackend.h"

namespace {

using namespace pelican;

// A standard descriptor closed by the caller (">&-") would be the next one
// the program opens: the serial port or the lock file, read as the terminal
// or written with the program's lines. /dev/null takes its place; whether
// standard output was closed is returned.
bool OccupyClosedDescriptors() {
    bool outputClosed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (fd == 1) outputClosed = true;
        const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
    return outputClosed;
}

bool g_outputClosed = false;

// The application on the operating system's serial ports and the real
// clock, both looked at for signals.
std::unique_ptr<CPelicanApp> MakeApplication(CWindowSignals& endings) {
    auto app = std::make_unique<CPelicanApp>(endings.Wrap(std::make_unique<CPosixSerialDevice>()), endings.Clock());
    app->m_portList = PosixPortList();
    app->m_portLabels = PortLabels(SurveyPorts(), app->m_portList);
    return app;
}

// The production line: several ports at once, or boards waited for one
// after another; each board's run is put together as RunBatch's is.
int RunGang(const BatchOptions& options, CSimulatedBoard* board) {
    CGangRunner gang(options, [&options, board](const std::string&) {
        BoardSetup setup;
        setup.clock = &RealClock();
        setup.makeDevice = [board]() -> std::unique_ptr<ISerialDevice> {
            std::unique_ptr<ISerialDevice> device = std::make_unique<CPosixSerialDevice>();
            if (board != nullptr) device = std::make_unique<CSimulatedModemLines>(std::move(device), board->Pty());
            return device;
        };
        setup.prepare = [&options, board](CBatchRunner& runner) {
            runner.m_outputClosed = g_outputClosed;
            if (board != nullptr && options.reset.empty()) runner.m_onReset = [board] { board->Reset(); };
        };
        return setup;
    });
    return gang.Run();
}

int RunBatch(BatchOptions options) {
    std::unique_ptr<CSimulatedBoard> board;
    if (options.simulate) {
        board = CSimulatedBoard::Start();
        if (!board) return kExitNoLink;
        options.port = board->Path();
        options.ports = {options.port};
    }
    if (options.ports.size() > 1 || options.wait) return RunGang(options, board.get());
    // Every wait for the board and every pause is also a point where a
    // signal is looked at (the runner acts on it between exchanges).
    std::unique_ptr<ISerialDevice> device = std::make_unique<CPosixSerialDevice>();
    if (board) device = std::make_unique<CSimulatedModemLines>(std::move(device), board->Pty());
    CBoardLink link(std::move(device), RealClock());
    CBatchRunner runner(link.m_app, options);
    runner.m_outputClosed = g_outputClosed;
    link.m_waitPoint = [&runner] { runner.InWait(); };
    // The simulated board's RESET is pressed for the user, unless the wire
    // presses it (--reset).
    if (board && options.reset.empty()) runner.m_onReset = [&board] { board->Reset(); };
    return runner.Run();
}

int RunWindows(int argc, char** argv, bool simulate) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Pelican");
    QApplication::setWindowIcon(QIcon(":/pelican.svg"));
    ui::CQtBackend windows;
    std::unique_ptr<CSimulatedBoard> board;
    // SIGTERM, SIGHUP and Ctrl-C bring the link back to 9600 bps before the
    // program ends; the event loop hears of them through a pipe.
    CWindowSignals endings(RealClock());
    auto app = MakeApplication(endings);
    app->m_tellReadOnlySettings = true;
    endings.Attach(*app, [](const std::string& text) { std::cerr << "pelican: " << text << '\n' << std::flush; });
    // Nobody is there to close a message box while the program ends.
    ui::CScriptedBackend quiet;
    endings.Ending().m_onEnding = [&quiet, &app] { app->SetUi(&quiet); };
    QSocketNotifier wake(CWindowSignals::WakeFd(), QSocketNotifier::Read);
    QObject::connect(&wake, &QSocketNotifier::activated, [&endings] { endings.OnWake(); });
    if (simulate) {
        board = CSimulatedBoard::Start();
        if (!board) return kExitNoLink;
        app->m_defaultPort = board->Path();
        // The user closing "Push RESET." presses the simulated board's RESET,
        // as a person at the bench would.
        app->m_resetBoard = [&board] {
            board->Reset();
            return true;
        };
    }
    app->SetUi(&windows);
    app->InitInstance();
    app->SetUi(nullptr);
    // A refusal is told on standard error as well: whoever started the
    // program from a terminal still reads why once the box is gone.
    switch (app->m_startup) {
        case CPelicanApp::Startup::AlreadyRunning:
            std::cerr << "pelican: " << ui::LoadString(ui::IDS_ALREADY_RUNNING) << '\n';
            return kExitAlreadyRunning;
        case CPelicanApp::Startup::LockFolderUnusable:
            std::cerr << "pelican: " << ui::LoadString(ui::IDS_LOCK_FOLDER) << app->m_instanceMutex.Folder() << ": "
                      << app->m_instanceMutex.ErrorText() << ".\n";
            return kExitNoLock;
        default: return kExitDone;
    }
}

}  // namespace

int main(int argc, char** argv) {
    g_outputClosed = OccupyClosedDescriptors();
    pelican::SetApplicationName("pelican");
    BatchOptions options;
    int exitCode = 0;
    switch (ParseCommandLine(argc, argv, options, exitCode)) {
        case CommandLine::Exit: return exitCode;
        case CommandLine::ListPorts: return ListPorts(options.json);
        case CommandLine::Batch: return RunBatch(options);
        case CommandLine::Window: break;
    }
    return RunWindows(argc, argv, options.simulate);
}
