#include "batch/BoardStation.h"

#include <signal.h>

#include "app/PelicanApp.h"
#include "batch/BatchRunner.h"
#include "batch/BoardLink.h"
#include "batch/SignalStop.h"
#include "link/Exchange.h"
#include "link/IoState.h"

namespace pelican {
namespace {

// A signal's ending of one board's run (instead of ending the process):
// the other boards end at their own next point between exchanges.
struct BoardEnded {
    int status;
};

// A look waits this long for the board's answer: a board in boot mode
// answers at once, and the next look follows within the second.
constexpr int32_t kLookTimeoutMs = 200;

}  // namespace

CBoardStation::CBoardStation(const BatchOptions& options, BoardSetup setup, CGangConsole& console, size_t board)
    : m_options(options), m_setup(std::move(setup)), m_console(console), m_board(board) {
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
    for (;;) {
        if (m_options.wait && !WaitForBoard()) {
            // The job asked of this port was not done: the signal ended it.
            // A loop's wait for its next board asked for nothing yet.
            if (!m_options.loop) results.push_back({m_options.port, SignalStatus(), false, 0});
            break;
        }
        BoardResult result;
        if (!RunOnce(result)) continue;
        results.push_back(result);
        if (!m_options.loop || Stopping()) break;
        if (!WaitUntilGone()) break;
    }
    return results;
}

bool CBoardStation::RunOnce(BoardResult& result) {
    CBoardLink link(m_setup.makeDevice(), *m_setup.clock);
    CBatchRunner runner(link.m_app, m_options);
    link.m_waitPoint = [&runner] { runner.InWait(); };
    // The signals were taken once for every board; one that ends the
    // program ends this board's run, once its link is back at 9600 bps.
    runner.m_ownsSignals = false;
    runner.m_signalEnding.m_exit = [](int status) { throw BoardEnded{status}; };
    runner.m_finishOnInterrupt = m_options.loop;
    runner.m_print = [this, &runner](const std::string& line) {
        m_console.Out(m_board, line);
        // What the board says is lost: its run ends after the action in
        // hand, once its link is back at 9600 bps, and is no success.
        if (runner.m_outputClosed) return runner.OutputLost("it is closed");
        if (const std::string why = m_console.OutputError(); !why.empty()) runner.OutputLost(why);
    };
    runner.m_report = [this](const std::string& text) { m_console.Err(m_board, text); };
    if (m_options.ports.size() > 1) {
        // Nobody can answer a question for one board of several at once,
        // and the boards' lines take the place of the bar.
        runner.m_interactive = false;
        runner.m_showProgress = false;
        runner.m_onStatus = [this](const BoardStatus& status, bool ended) {
            m_console.Status(m_board, status, ended);
        };
    }
    if (m_setup.prepare) m_setup.prepare(runner);
    m_console.Status(m_board, "running", false);
    const uint64_t began = m_setup.clock->NowMs();
    try {
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
    result.ms = m_setup.clock->NowMs() - began;
    m_console.Status(m_board, CBatchRunner::OutcomeWord(result.status, result.notAt9600), false);
    return true;
}

bool CBoardStation::WaitForBoard() {
    m_console.Status(m_board, "waiting for a board", false);
    m_console.Err(m_board, "waiting for a board on " + m_options.port);
    return LookUntil(true);
}

bool CBoardStation::WaitUntilGone() {
    m_console.Status(m_board, "waiting for the board to go", false);
    return LookUntil(false);
}

bool CBoardStation::LookUntil(bool answering) {
    for (;;) {
        if (Stopping()) return false;
        const uint64_t began = m_setup.clock->NowMs();
        const bool wasPresent = m_present;
        if (Look(m_present, answering && !wasPresent) == answering) return true;
        const uint64_t spent = m_setup.clock->NowMs() - began;
        if (spent < kLookEveryMs) m_setup.clock->Sleep(static_cast<uint32_t>(kLookEveryMs - spent));
    }
}

bool CBoardStation::Look(bool& present, bool resetIfNew) {
    CSerialComm port(m_setup.makeDevice(), *m_setup.clock);
    present = port.Open(m_options.port) != 0;
    if (!present) return false;
    port.SetState(CSerialCommState(9600, 8, 0, 0));
    port.SetReadTimeout(kLookTimeoutMs);
    if (resetIfNew && !m_reset.Empty()) m_reset.Perform(port);
    Pause(port, protocol::kPauseShort);
    port.PurgeInput();
    const bool answered = Synchronise(port).Answered();
    port.Close();
    return answered;
}

}  // namespace pelican
