#include "main/Composition.h"

#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/PelicanApp.h"
#include "cli/CommandLine.h"
#include "station/BatchRunner.h"
#include "station/BoardLink.h"
#include "station/StoreReport.h"
#include "production/GangRunner.h"
#include "cli/PortListing.h"
#include "lifecycle/WindowSignals.h"
#include "link/PortInfo.h"
#include "link/PortNotes.h"
#include "sys/KeepAwake.h"
#include "sys/Paths.h"
#include "sys/Station.h"
#include "ui/Messages.h"
#include "ui/scripted/ScriptedBackend.h"

namespace pelican {

namespace {

// A part the platform may do without: none when it has no maker for it.
template <typename Part, typename Make>
std::unique_ptr<Part> Made(const Make& make) {
    return make ? make() : nullptr;
}

// The simulated board, when there is one, stands in for the port.
std::unique_ptr<ISerialDevice> MakeDevice(PlatformKit& kit, ISimulatedBoard* board) {
    return board != nullptr ? board->MakeDevice() : kit.makeDevice();
}

// The production line: several ports at once, or boards waited for one
// after another; each board's run is put together as RunBatch's is. Every
// board returns to 9600 bps and the run ends normally, so the console is
// given back on the way out as always. The session's end is asked to wait
// while any of the boards is in work: their jobs begin and end on their
// stations' threads.
int RunGang(PlatformKit& kit, const BatchOptions& options, ISimulatedBoard* board, bool outputClosed,
            ISessionWatch* session) {
    std::mutex inWorkMutex;
    int inWork = 0;
    const auto tellInWork = [session, &inWorkMutex, &inWork](bool begins) {
        const std::lock_guard lock(inWorkMutex);
        inWork += begins ? 1 : -1;
        if (session != nullptr && inWork == (begins ? 1 : 0)) session->SetBusy(begins);
    };
    CGangRunner gang(options, [&kit, &options, board, outputClosed, &tellInWork](const std::string&) {
        BoardSetup setup;
        setup.clock = kit.clock;
        setup.makeDevice = [&kit, board] { return MakeDevice(kit, board); };
        setup.inWork = tellInWork;
        setup.prepare = [&options, board, outputClosed](CBatchRunner& runner) {
            runner.m_outputClosed = outputClosed;
            if (board != nullptr && options.reset.empty()) runner.m_boardReset.m_onPress = [board] { board->Reset(); };
        };
        return setup;
    });
    return gang.Run();
}

int RunBatch(PlatformKit& kit, BatchOptions options, bool outputClosed, const std::unique_ptr<IBatchConsole>& console) {
    std::unique_ptr<ISimulatedBoard> board;
    if (options.simulate) {
        board = kit.startSimulatedBoard();
        if (!board) return kExitNoLink;
        options.port = board->Port();
        options.ports = {options.port};
    }
    // Where the end of the session reaches a program only as messages to a
    // window, it is asked to wait while a board is in work (it may be at the
    // high rate).
    const std::unique_ptr<ISessionWatch> session = Made<ISessionWatch>(kit.watchSession);
    if (options.ports.size() > 1 || options.wait)
        return RunGang(kit, options, board.get(), outputClosed, session.get());
    // Every wait for the board and every pause is also a point where a
    // signal is looked at (the runner acts on it between exchanges).
    CBoardLink link(MakeDevice(kit, board.get()), *kit.clock);
    CBatchRunner runner(link.m_app, options);
    runner.m_outputClosed = outputClosed;
    link.m_waitPoint = [&runner] { runner.InWait(); };
    // An ending leaves through _Exit: the console is given back first.
    if (console) runner.m_signalEnding.m_exit = [&console](int status) { console->Leave(status); };
    // The simulated board's RESET is pressed for the user, unless the wire
    // presses it (--reset).
    if (board && options.reset.empty()) runner.m_boardReset.m_onPress = [&board] { board->Reset(); };
    // One board, in work from here to the end.
    if (session) session->SetBusy(true);
    const CKeepAwake awake;
    return runner.Run();
}

// --report: the question the command line checked, asked of its database.
int RunReport(const BatchOptions& options) {
    CStoreUrl url;
    CStoreReport::Question question;
    std::string error;
    CStoreUrl::Parse(options.store, url, error);
    CStoreReport::Parse(options.report, question, error);
    CStoreReport report(url, options.json);
    report.m_print = [](const std::string& line) { std::cout << line << '\n' << std::flush; };
    report.m_report = [](const std::string& line) { std::cerr << "pelican: " << line << '\n' << std::flush; };
    // Today as the station that asks has it, in the rows' own form.
    return report.Run(question, CStation::LocalTime().substr(0, 10));
}

void Tell(const std::string& text) { std::cerr << "pelican: " << text << '\n' << std::flush; }

// The exit status of a window program that has ended.
int WindowStatus(const PlatformKit& kit, const CPelicanApp& app) {
    // A refusal is told on standard error as well: whoever started the
    // program from a terminal still reads why once the box is gone.
    switch (app.m_startup) {
        case CPelicanApp::Startup::AlreadyRunning:
            if (kit.refusalsOnStandardError) Tell(ui::LoadString(ui::IDS_ALREADY_RUNNING));
            return kExitAlreadyRunning;
        case CPelicanApp::Startup::LockFolderUnusable:
            if (kit.refusalsOnStandardError)
                Tell(ui::LoadString(ui::IDS_LOCK_FOLDER) + app.m_instanceMutex.Folder() + ": " +
                     app.m_instanceMutex.ErrorText() + ".");
            return kExitNoLock;
        default: return kExitDone;
    }
}

int RunWindows(PlatformKit& kit, int& argc, char** argv, bool simulate) {
    const std::unique_ptr<IWindowFront> front = kit.openWindows(argc, argv);
    if (!front) {
        Tell(kNoDisplayText);
        return kExitUsage;
    }
    std::unique_ptr<ISimulatedBoard> board;
    if (simulate) {
        board = kit.startSimulatedBoard();
        if (!board) return kExitNoLink;
    }
    // SIGTERM, SIGHUP and Ctrl-C (on Windows the end of the session, Ctrl-C
    // and Ctrl-Break in the console it was started from, the console
    // closing) bring the link back to 9600 bps before the program ends.
    CWindowSignals endings(*kit.clock);
    const auto app = std::make_unique<CPelicanApp>(endings.Wrap(MakeDevice(kit, board.get())), endings.Clock());
    app->m_portList = kit.portList();
    app->m_portLabels = PortLabels(SurveyPorts(), app->m_portList);
    app->m_survey = [] { return SurveyPorts(); };
    app->m_tellReadOnlySettings = true;
    endings.Attach(*app, Tell);
    // The one place where the application's windows are chosen.
    const auto install = [&app](ui::IBackend* backend) { app->SetUi(backend); };
    // Nobody is there to close a message box while the program ends.
    ui::CScriptedBackend quiet;
    endings.Ending().m_onEnding = [&install, &quiet] { install(&quiet); };
    front->WakeFor([&endings] { endings.OnWake(); });
    const std::unique_ptr<ISessionWatch> session = Made<ISessionWatch>(kit.watchSession);
    // The machine stays awake while a command works on the board.
    std::optional<CKeepAwake> awake;
    app->m_onCommandRunning = [&session, &awake](bool running) {
        if (session) session->SetBusy(running);
        if (running)
            awake.emplace();
        else
            awake.reset();
    };
    if (board) {
        app->m_defaultPort = board->Port();
        // The user closing "Push RESET." presses the simulated board's RESET,
        // as a person at the bench would.
        app->m_resetBoard = [&board] {
            board->Reset();
            return true;
        };
    }
    install(&front->Backend());
    app->InitInstance();
    install(nullptr);
    front->WakeFor(nullptr);
    return WindowStatus(kit, *app);
}

}  // namespace

int RunPelican(PlatformKit& kit, int argc, char** argv) {
    const bool outputClosed = kit.occupyClosedDescriptors && kit.occupyClosedDescriptors();
    SetApplicationName("pelican");
    // The console takes UTF-8 before the first text is written: a usage
    // error, the help or the port list names ports and files in any
    // language. The window program gives it back before its windows.
    std::unique_ptr<IBatchConsole> console = Made<IBatchConsole>(kit.holdBatchConsole);
    BatchOptions options;
    int exitCode = 0;
    switch (ParseCommandLine(argc, argv, options, exitCode)) {
        case CommandLine::Exit: return exitCode;
        case CommandLine::ListPorts: return ListPorts(options.json);
        case CommandLine::Report: return RunReport(options);
        case CommandLine::Batch: return RunBatch(kit, options, outputClosed, console);
        case CommandLine::Window: break;
    }
    console.reset();
    return RunWindows(kit, argc, argv, options.simulate);
}

}  // namespace pelican
