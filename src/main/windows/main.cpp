// pelican.exe: the window program, the window program on a simulated board,
// or batch mode when actions are named on the command line. This is the one
// place where the Windows program is put together from its parts:
//   the serial back end   the communications API (CWin32SerialDevice)
//   the clock             the performance counter, its pauses finer than
//                         the timer tick (every pause, and the port's waits,
//                         are where a console event is looked at; it is
//                         acted on once the exchange in flight is over)
//   the window back end   Win32 dialogs built from the templates, or the
//                         scripted back end of batch mode
//   the board             a real one on the named COM port, or under
//                         --simulate the simulated board in this process, on
//                         the in-memory link at the line's real speed
#include <memory>
#include <string>
#include <vector>

#include "Console.h"
#include "SimulatedResetBackend.h"
#include "app/PelicanApp.h"
#include "batch/BatchOptions.h"
#include "batch/BatchRunner.h"
#include "batch/PortListing.h"
#include "batch/SafePointClock.h"
#include "batch/SafePointDevice.h"
#include "link/PortNotes.h"
#include "link/win32/Win32PortList.h"
#include "link/win32/Win32SerialDevice.h"
#include "sim/BoardConfig.h"
#include "sim/BootLoader.h"
#include "sim/MemoryLink.h"
#include "sys/Clock.h"
#include "sys/Paths.h"
#include "ui/win32/Win32Backend.h"

namespace {

using namespace pelican;

// The simulated board's port: no COM port has this name, so a typing slip
// never reaches real hardware.
constexpr const char* kSimulatedPort = "SIMULATED";

struct SimulatedBoard {
    sim::CBootLoader board{sim::BuiltInBoard()};
};

std::unique_ptr<ISerialDevice> MakeDevice(SimulatedBoard* simulated) {
    if (simulated != nullptr)
        return std::make_unique<sim::CMemoryLink>(simulated->board, RealClock(), kSimulatedPort);
    return std::make_unique<CWin32SerialDevice>();
}

int RunBatch(BatchOptions options) {
    std::unique_ptr<SimulatedBoard> simulated;
    if (options.simulate) {
        simulated = std::make_unique<SimulatedBoard>();
        options.port = kSimulatedPort;
    }
    // Every wait for the board and every pause is also a point where a
    // console event is looked at (the runner acts on it between exchanges).
    std::function<void()> waitPoint;
    CSafePointClock clock(RealClock(), waitPoint);
    CPelicanApp app(std::make_unique<CSafePointDevice>(MakeDevice(simulated.get()), clock, waitPoint), clock);
    CBatchRunner runner(app, options);
    waitPoint = [&runner] { runner.InWait(); };
    // The simulated board's RESET is pressed for the user, unless the wire
    // presses it (--reset).
    if (simulated && options.reset.empty()) runner.m_onReset = [&simulated] { simulated->board.Reset(); };
    return runner.Run();
}

int RunWindows(bool simulate) {
    ui::CWin32Backend windows;
    std::unique_ptr<SimulatedBoard> simulated;
    if (simulate) simulated = std::make_unique<SimulatedBoard>();
    CPelicanApp app(MakeDevice(simulated.get()), RealClock());
    app.m_portList = Win32PortList();
    app.m_portLabels = PortLabels(SurveyPorts(), app.m_portList);
    app.m_tellReadOnlySettings = true;
    std::unique_ptr<CSimulatedResetBackend> resetOnMessage;
    if (simulated) {
        app.m_defaultPort = kSimulatedPort;
        resetOnMessage =
            std::make_unique<CSimulatedResetBackend>(windows, [&simulated] { simulated->board.Reset(); });
        ui::SetBackend(resetOnMessage.get());
    } else {
        ui::SetBackend(&windows);
    }
    app.InitInstance();
    ui::SetBackend(nullptr);
    switch (app.m_startup) {
        case CPelicanApp::Startup::AlreadyRunning: return kExitAlreadyRunning;
        case CPelicanApp::Startup::LockFolderUnusable: return kExitNoLock;
        default: return kExitDone;
    }
}

}  // namespace

int main() {
    pelican::SetApplicationName("pelican");
    // The command line as the user typed it, in UTF-8 like every text
    // inside the program (main's own argv is in the ANSI code page, which
    // cannot hold every file name).
    std::vector<std::string> arguments = CommandLineArguments();
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    BatchOptions options;
    int exitCode = 0;
    const int argc = static_cast<int>(arguments.size());
    switch (ParseCommandLine(argc, argv.data(), options, exitCode)) {
        case CommandLine::Exit: return exitCode;
        case CommandLine::ListPorts: return ListPorts(options.json);
        case CommandLine::Batch: {
            CBatchConsole console;
            return RunBatch(options);
        }
        case CommandLine::Window: break;
    }
    LeaveConsoleOfOwn();
    return RunWindows(options.simulate);
}
