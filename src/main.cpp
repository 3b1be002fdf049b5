// pelican: the window program, the window program on a simulated board, or
// batch mode when actions are named on the command line. This is the one
// place where the program is put together from its parts:
//   the serial back end   POSIX termios devices (CPosixSerialDevice)
//   the clock             the real clock (in batch mode its pauses, and the
//                         port's waits, are where signals are acted on)
//   the window back end   Qt windows, or the scripted back end of batch mode
//   the board             a real one on the named port, or under --simulate
//                         the simulated board on a pseudo-terminal
#include <QApplication>
#include <QIcon>
#include <functional>
#include <memory>

#include "SimulatedBoard.h"
#include "SimulatedModemLines.h"
#include "app/PelicanApp.h"
#include "batch/BatchOptions.h"
#include "batch/BatchRunner.h"
#include "batch/SafePointClock.h"
#include "batch/SafePointDevice.h"
#include "link/PosixPortList.h"
#include "link/PosixSerialDevice.h"
#include "sys/Clock.h"
#include "sys/Paths.h"
#include "ui/qt/QtBackend.h"

namespace {

using namespace pelican;

// The application on the operating system's serial ports and the real clock.
std::unique_ptr<CPelicanApp> MakeApplication() {
    auto app = std::make_unique<CPelicanApp>(std::make_unique<CPosixSerialDevice>(), RealClock());
    app->m_portList = PosixPortList();
    return app;
}

int RunBatch(BatchOptions options) {
    std::unique_ptr<CSimulatedBoard> board;
    if (options.simulate) {
        board = CSimulatedBoard::Start();
        if (!board) return kExitNoLink;
        options.port = board->Path();
    }
    // Every wait for the board and every pause is also a point where a
    // signal that ends the program is acted on.
    std::function<void()> safePoint;
    CSafePointClock clock(RealClock(), safePoint);
    std::unique_ptr<ISerialDevice> device = std::make_unique<CPosixSerialDevice>();
    if (board) device = std::make_unique<CSimulatedModemLines>(std::move(device), board->Pty());
    CPelicanApp app(std::make_unique<CSafePointDevice>(std::move(device), safePoint), clock);
    CBatchRunner runner(app, options);
    safePoint = [&runner] { runner.AtSafePoint(); };
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
    std::unique_ptr<CSimulatedResetBackend> resetOnMessage;
    auto app = MakeApplication();
    app->m_tellReadOnlySettings = true;
    if (simulate) {
        board = CSimulatedBoard::Start();
        if (!board) return kExitNoLink;
        app->m_defaultPort = board->Path();
        resetOnMessage = std::make_unique<CSimulatedResetBackend>(windows, *board);
        ui::SetBackend(resetOnMessage.get());
    } else {
        ui::SetBackend(&windows);
    }
    app->InitInstance();
    ui::SetBackend(nullptr);
    switch (app->m_startup) {
        case CPelicanApp::Startup::AlreadyRunning: return kExitAlreadyRunning;
        case CPelicanApp::Startup::LockFolderUnusable: return kExitNoLock;
        default: return kExitDone;
    }
}

}  // namespace

int main(int argc, char** argv) {
    pelican::SetApplicationName("pelican");
    BatchOptions options;
    int exitCode = 0;
    switch (ParseCommandLine(argc, argv, options, exitCode)) {
        case CommandLine::Exit: return exitCode;
        case CommandLine::Batch: return RunBatch(options);
        case CommandLine::Window: break;
    }
    return RunWindows(argc, argv, options.simulate);
}
