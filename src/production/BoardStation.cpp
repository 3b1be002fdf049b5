#include "production/BoardStation.h"
#include "production/BoardStatusFeed.h"

#include <signal.h>

#include <cerrno>

#include "app/PelicanApp.h"
#include "station/BatchRunner.h"
#include "station/BoardLink.h"
#include "lifecycle/SignalStop.h"
#include "link/Exchange.h"
#include "link/IoState.h"
#include "link/PortNotes.h"
#include "link/PortOpenError.h"
#include "sys/KeepAwake.h"

namespace pelican {
namespace {

// A signal's ending of one board's run (instead of ending the process):
// the other boards end at their own next point between exchanges.
struct BoardEnded {
    int status;
};

// A look waits this long for the board's answer: a board in boot mode
// answers at once; one that does not is looked at again.
constexpr int32_t kLookTimeoutMs = 200;

// A board's job under way, told as it begins and as it ends (however it
// ends): the machine kept awake meanwhile.
class CInWork {
public:
    explicit CInWork(const std::function<void(bool)>& tell) : m_tell(tell) {
        if (m_tell) m_tell(true);
    }
    ~CInWork() {
        if (m_tell) m_tell(false);
    }
    CInWork(const CInWork&) = delete;
    CInWork& operator=(const CInWork&) = delete;

private:
    const std::function<void(bool)>& m_tell;
    const CKeepAwake m_awake;
};

// No board or RESET can change these: the user may not open the port, or
// it is no serial device at all.
bool CanNeverOpen(int error) {
    return IsPortPermissionError(error) || error == ENOTTY || error == EISDIR;
}

}  // namespace

CBoardStation::CBoardStation(const BatchOptions& options, BoardSetup setup, CGangConsole& console, size_t board,
                             std::atomic<bool>* interruptTold)
    : m_options(options), m_setup(std::move(setup)), m_console(console), m_board(board), m_interruptTold(interruptTold) {
    std::string invalid;  // the command line has checked it
    if (!m_options.reset.empty()) CResetSequence::Parse(m_options.reset, m_reset, invalid);
}

int CBoardStation::SignalStatus() {
    const int ending = CSignalStop::EndingSignal();
    return kExitSignalBase + (ending != 0 ? ending : SIGINT);
}

bool CBoardStation::Stopping() {
    return CSignalStop::EndingSignal() != 0 || CSignalStop::Interrupts() > 0;
}

std::vector<BoardResult> CBoardStation::Run() {
    std::vector<BoardResult> results;
    const BoardResult unusable{m_options.port, kExitNoLink, false, 0};
    for (;;) {
        if (m_options.wait) {
            const WaitEnd end = WaitForBoard();
            if (end == WaitEnd::Unusable) results.push_back(unusable);
            // The job asked of this port was not done: the signal ended it.
            // A loop's wait for its next board asked for nothing yet.
            if (end == WaitEnd::Signal && !m_options.loop) results.push_back({m_options.port, SignalStatus(), false, 0});
            if (end != WaitEnd::Done) break;
        }
        BoardResult result;
        if (!RunOnce(result)) continue;
        results.push_back(result);
        if (!m_options.loop || Stopping()) break;
        const WaitEnd end = WaitUntilGone();
        if (end == WaitEnd::Unusable) results.push_back(unusable);
        if (end != WaitEnd::Done) break;
    }
    return results;
}

void CBoardStation::NoteInterrupt() {
    if (!m_options.loop || CSignalStop::Interrupts() == 0 || CSignalStop::EndingSignal() != 0) return;
    if (m_interruptTold != nullptr && m_interruptTold->exchange(true)) return;
    m_console.Err(m_board, "SIGINT: the boards in work finish their job, then the line stops; Ctrl-C again stops them");
}

bool CBoardStation::RunOnce(BoardResult& result) {
    CBoardLink link(m_setup.makeDevice(), *m_setup.clock);
    CBatchRunner runner(link.m_app, m_options);
    link.m_waitPoint = [this, &runner] {
        NoteInterrupt();
        runner.InWait();
    };
    // The signals were taken once for every board; one that ends the
    // program ends this board's run, once its link is back at 9600 bps.
    runner.m_line.ownsSignals = false;
    runner.m_signalEnding.m_exit = [](int status) { throw BoardEnded{status}; };
    runner.m_line.finishOnInterrupt = m_options.loop;
    // The station itself looks for the board again: nobody is asked to reset it.
    runner.m_line.looksAgainOnNoAnswer = m_options.wait;
    runner.m_printer.m_print = [this, &runner](const std::string& line) {
        m_console.Out(m_board, line);
        // What the board says is lost: its run ends after the action in
        // hand, once its link is back at 9600 bps, and is no success.
        if (runner.m_outputClosed) return runner.OutputLost("it is closed");
        if (const std::string why = m_console.OutputError(); !why.empty()) runner.OutputLost(why);
    };
    runner.m_printer.m_report = [this](const std::string& text) { m_console.Err(m_board, text); };
    CBoardStatusFeed feed([this](const BoardStatus& status, bool ended) { m_console.Status(m_board, status, ended); });
    if (m_options.ports.size() > 1) {
        // Nobody can answer a question for one board of several at once,
        // and the boards' lines take the place of the bar.
        runner.m_questions.m_interactive = false;
        runner.m_printer.m_showProgress = false;
        runner.Listen(feed);
    }
    if (m_setup.prepare) m_setup.prepare(runner);
    m_console.Status(m_board, "running", false);
    const uint64_t began = m_setup.clock->NowMs();
    try {
        // Awake, and the session's end asked to wait, while this board is
        // in work, not while the station waits for the next one.
        const CInWork inWork(m_setup.inWork);
        result.status = runner.Run();
    } catch (const BoardEnded& ended) {
        result.status = ended.status;
    }
    const CPelicanApp::Startup startup = link.m_app.m_startup;
    // Under --wait a board that did not answer its first synchronisation
    // was taken away before its job began: a reason to look again.
    if (m_options.wait && result.status == kExitNoLink && !Stopping() &&
        (startup == CPelicanApp::Startup::NoAnswer || startup == CPelicanApp::Startup::PortUnusable)) {
        m_present = startup == CPelicanApp::Startup::NoAnswer;
        return false;
    }
    result.port = m_options.port;
    result.notAt9600 = runner.LeftNotAt9600();
    result.portWentAway = runner.PortWentAway();
    result.ms = m_setup.clock->NowMs() - began;
    m_console.Status(m_board, ExitWord(result.status, result.notAt9600, result.portWentAway), false);
    return true;
}

CBoardStation::WaitEnd CBoardStation::WaitForBoard() {
    m_console.Status(m_board, "waiting for a board", false);
    m_console.Err(m_board, "waiting for a board on " + m_options.port);
    for (;;) {
        if (Stopping()) return WaitEnd::Signal;
        const Sight sight = Look(!m_present);
        TellHeld(sight == Sight::Busy);
        if (sight == Sight::Answered) return WaitEnd::Done;
        if (sight == Sight::Unusable) return TellUnusable();
        m_setup.clock->Sleep(kPortFreeMs);
    }
}

CBoardStation::WaitEnd CBoardStation::WaitUntilGone() {
    m_console.Status(m_board, "waiting for the board to go", false);
    int silentLooks = 0;
    uint64_t silentSince = 0;
    for (;;) {
        if (Stopping()) return WaitEnd::Signal;
        const uint64_t began = m_setup.clock->NowMs();
        const Sight sight = Look(false);
        TellHeld(sight == Sight::Busy);
        if (sight == Sight::Absent) return WaitEnd::Done;
        if (sight == Sight::Unusable) return TellUnusable();
        // A port another program holds tells nothing about the board: the
        // silence counts again from the next look.
        if (sight != Sight::Silent) {
            silentLooks = 0;
        } else {
            if (silentLooks++ == 0) silentSince = began;
            if (silentLooks >= kGoneAfterSilentLooks && m_setup.clock->NowMs() - silentSince >= kGoneAfterSilenceMs)
                return WaitEnd::Done;
        }
        m_setup.clock->Sleep(kPortFreeMs);
    }
}

void CBoardStation::TellHeld(bool held) {
    if (held == m_heldTold) return;
    m_heldTold = held;
    if (!held) {
        m_console.Err(m_board, m_options.port + " is free again");
        return;
    }
    m_console.Err(m_board, PortInUseText(m_options.port, m_setup.survey ? m_setup.survey() : PortSurvey{}));
}

CBoardStation::WaitEnd CBoardStation::TellUnusable() {
    m_console.Err(m_board, DescribePortOpenError(m_options.port, m_openError));
    m_console.Status(m_board, ExitWord(kExitNoLink, false), false);
    return WaitEnd::Unusable;
}

CBoardStation::Sight CBoardStation::Look(bool resetIfNew) {
    CSerialComm port(m_setup.makeDevice(), *m_setup.clock);
    if (port.Open(m_options.port) == 0) {
        m_openError = port.OpenError();
        m_present = m_openError == EBUSY;
        if (m_present) return Sight::Busy;
        return CanNeverOpen(m_openError) ? Sight::Unusable : Sight::Absent;
    }
    m_present = true;
    port.SetState(CSerialCommState(9600, 8, 0, 0));
    port.SetReadTimeout(kLookTimeoutMs);
    if (resetIfNew && !m_reset.Empty()) m_reset.Perform(port);
    Pause(port, protocol::kPauseShort);
    port.PurgeInput();
    const SyncResult result = Synchronise(port);
    port.Close();
    switch (result.read) {
        case ReadResult::Ok: return result.Answered() ? Sight::Answered : Sight::Heard;
        case ReadResult::LineError: return Sight::Heard;
        case ReadResult::TimedOut: return Sight::Silent;
        case ReadResult::PortGone: break;
    }
    m_present = false;
    return Sight::Absent;
}

}  // namespace pelican
