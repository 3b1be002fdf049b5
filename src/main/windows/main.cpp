// pelican.exe: the window program, the window program on a simulated board,
// or batch mode when actions are named on the command line. This is the one
// place where the Windows program is put together from its parts:
//   the serial back end   the communications API (CWin32SerialDevice)
//   the clock             the performance counter, its pauses finer than
//                         the timer tick (asked to be 1 ms for the run);
//                         every pause, and the port's waits, are where an
//                         ending is looked at; it is acted on once the
//                         exchange in flight is over
//   the endings           the console's events and the end of the session
//                         (a hidden window of its own thread), in batch
//                         mode and in the window program
//   the window back end   Win32 dialogs built from the templates, or the
//                         scripted back end of batch mode
//   the board             a real one on the named COM port, or under
//                         --simulate the simulated board in this process, on
//                         the in-memory link at the line's real speed
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Console.h"
#include "app/PelicanApp.h"
#include "batch/BatchOptions.h"
#include "batch/BatchRunner.h"
#include "batch/PortListing.h"
#include "batch/BoardLink.h"
#include "batch/GangRunner.h"
#include "link/PortNotes.h"
#include "batch/WindowSignals.h"
#include "batch/win32/SessionWindow.h"
#include "link/win32/Win32PortList.h"
#include "link/win32/Win32SerialDevice.h"
#include "sim/BoardConfig.h"
#include "sim/BootLoader.h"
#include "sim/MemoryLink.h"
#include "sys/Clock.h"
#include "sys/Paths.h"
#include "sys/TimerResolution.h"
#include "sys/win32/BatchConsole.h"
#include "ui/scripted/ScriptedBackend.h"
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

// The production line: several ports at once, or boards waited for one
// after another, each board's run put together as RunBatch's is. Every
// board returns to 9600 bps and the run ends normally, so the console is
// given back on the way out as always.
int RunGang(const BatchOptions& options, SimulatedBoard* simulated) {
    CGangRunner gang(options, [&options, simulated](const std::string&) {
        BoardSetup setup;
        setup.clock = &RealClock();
        setup.makeDevice = [simulated] { return MakeDevice(simulated); };
        setup.prepare = [&options, simulated](CBatchRunner& runner) {
            if (simulated != nullptr && options.reset.empty())
                runner.m_onReset = [simulated] { simulated->board.Reset(); };
        };
        return setup;
    });
    return gang.Run();
}

int RunBatch(BatchOptions options, CBatchConsole& console) {
    std::unique_ptr<SimulatedBoard> simulated;
    if (options.simulate) {
        simulated = std::make_unique<SimulatedBoard>();
        options.port = kSimulatedPort;
        options.ports = {options.port};
    }
    // The end of the session reaches a program with windows only as
    // messages to a window: the run has one, hidden, and the whole run
    // counts as the command that runs (the board may be at the high rate).
    CSessionWindow session;
    session.SetBusy(true);
    if (options.ports.size() > 1 || options.wait) return RunGang(options, simulated.get());
    // Every wait for the board and every pause is also a point where a
    // console event is looked at (the runner acts on it between exchanges).
    CBoardLink link(MakeDevice(simulated.get()), RealClock());
    CBatchRunner runner(link.m_app, options);
    link.m_waitPoint = [&runner] { runner.InWait(); };
    // An ending leaves through _Exit: the console is given back first.
    runner.m_signalEnding.m_exit = [&console](int status) {
        std::cout << std::flush;
        console.Restore();
        std::_Exit(status);
    };
    // The simulated board's RESET is pressed for the user, unless the wire
    // presses it (--reset).
    if (simulated && options.reset.empty()) runner.m_onReset = [&simulated] { simulated->board.Reset(); };
    return runner.Run();
}

int RunWindows(bool simulate) {
    ui::CWin32Backend windows;
    std::unique_ptr<SimulatedBoard> simulated;
    if (simulate) simulated = std::make_unique<SimulatedBoard>();
    // The end of the session, Ctrl-C and Ctrl-Break in the console it was
    // started from, the console closing: the link goes back to 9600 bps
    // first, as on Linux for SIGTERM. The thread that takes the event wakes
    // this one through the back end's message loop.
    CWindowSignals endings(RealClock());
    CPelicanApp app(endings.Wrap(MakeDevice(simulated.get())), endings.Clock());
    app.m_portList = Win32PortList();
    app.m_portLabels = PortLabels(SurveyPorts(), app.m_portList);
    app.m_tellReadOnlySettings = true;
    endings.Attach(app, [](const std::string& text) { std::cerr << "pelican: " << text << '\n' << std::flush; });
    // Nobody is there to close a message box while the program ends.
    ui::CScriptedBackend quiet;
    endings.Ending().m_onEnding = [&quiet, &app] { app.SetUi(&quiet); };
    windows.m_onWake = [&endings] { endings.OnWake(); };
    SetEndingWake([&windows] { windows.Wake(); });
    CSessionWindow session;
    app.m_onCommandRunning = [&session](bool running) { session.SetBusy(running); };
    if (simulated) {
        app.m_defaultPort = kSimulatedPort;
        // The user closing "Push RESET." presses the simulated board's RESET,
        // as a person at the bench would.
        app.m_resetBoard = [&simulated] {
            simulated->board.Reset();
            return true;
        };
    }
    app.SetUi(&windows);
    app.InitInstance();
    app.SetUi(nullptr);
    SetEndingWake(nullptr);
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
            const CFineTimer fineTimer;
            return RunBatch(options, console);
        }
        case CommandLine::Window: break;
    }
    LeaveConsoleOfOwn();
    const CFineTimer fineTimer;
    return RunWindows(options.simulate);
}
