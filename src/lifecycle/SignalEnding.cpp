#include "lifecycle/SignalEnding.h"

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "app/PelicanApp.h"
#include "lifecycle/ExitStatus.h"
#include "lifecycle/SignalStop.h"
#include "link/Exchange.h"
#include "protocol/Protocol.h"

namespace pelican {

const char* const CSignalEnding::kNeedsReset = "it needs a RESET (in boot mode) before the next run; port closed";

CSignalEnding::CSignalEnding(CPelicanApp& app, std::function<void(const std::string&)> report)
    : m_app(app), m_report(std::move(report)) {
    m_exit = [](int status) {
        std::cout << std::flush;
        std::_Exit(status);
    };
}

void CSignalEnding::AtSafePoint() {
    if (m_ending) return;
    const int signal = CSignalStop::EndingSignal();
    if (signal == 0) return;
    // In the middle of a baud-rate change the two ends may be at different
    // rates; the return to 9600 bps starts once they agree again. A point
    // reached while the port waits (an event loop run from inside a read)
    // is still inside the exchange.
    if (m_app.RateChanging() || m_app.m_port.CurrentActivity() != CSerialComm::Activity::Idle) {
        InWait();
        return;
    }
    End(signal);
}

void CSignalEnding::InWait() {
    if (m_ending) return;
    const int signal = CSignalStop::EndingSignal();
    if (signal == 0) return;
    if (CSignalStop::Again() > 0) {
        LeaveAsItIs(signal);
        return;
    }
    CSerialComm& port = m_app.m_port;
    const CSerialComm::Activity activity = port.CurrentActivity();
    // A page's program interval is the board's only while it programs the
    // page: the rest of a long one is not waited out.
    if (activity == CSerialComm::Activity::Pausing) {
        port.CutPause();
        return;
    }
    // Told once, and once more when a pause or the wait for the reply
    // follows the frame told of (a page's program interval; the version a
    // signal caught leaving the port): that wait is longer than the
    // frame's, and the user is owed how long the exchange may yet take.
    if (activity == CSerialComm::Activity::Idle) return;
    if (m_told && !(m_toldSending && activity != CSerialComm::Activity::Sending)) return;
    m_told = true;
    m_toldSending = activity == CSerialComm::Activity::Sending;
    const uint64_t until = port.ActivityUntilMs();
    const uint64_t now = m_app.m_port.Clock().NowMs();
    m_report(WaitingLine(signal, WaitedFor(port.FramesSinceRead(), port.CurrentActivity() == CSerialComm::Activity::Sending),
                         until > now ? until - now : 0));
}

std::string CSignalEnding::WaitingLine(int signal, const std::string& what, uint64_t ms) {
    std::string limit;
    if (ms >= 1000)
        limit = ", up to " + std::to_string((ms + 999) / 1000) + " s";
    else if (ms > 0)
        limit = ", up to " + std::to_string(ms) + " ms";
    return std::string(CSignalStop::Name(signal)) + ": waiting for " + what + limit +
           "; Ctrl-C again to leave the board as it is";
}

std::string CSignalEnding::WaitedFor(const std::vector<uint8_t>& frames, bool sending) {
    if (sending) return "the frame to leave the port";
    const auto sent = [&frames](uint8_t code) { return std::find(frames.begin(), frames.end(), code) != frames.end(); };
    if (sent(protocol::kEraseAll1)) return "the erase to finish";
    if (sent(protocol::kPageRead)) return "the page being read";
    if (sent(protocol::kPageProgram)) return "the page being programmed";
    if (sent(protocol::kDownload)) return "the download's answer";
    if (sent(protocol::kIdCheck)) return "the ID check's answer";
    if (sent(protocol::kVersionRead)) return "the version";
    if (sent(protocol::kReadStatus)) return "the status";
    return "the board's answer";
}

void CSignalEnding::End(int signal) {
    m_ending = true;
    if (m_onEnding) m_onEnding();
    CSerialComm& port = m_app.m_port;
    const bool open = port.IsOpen() != 0;
    // Before a port was chosen ("Select Program") there is no link to speak of.
    m_report(std::string(CSignalStop::Name(signal)) +
             (open ? ": returning the link to 9600 bps" : ": ending; no port is open"));
    // Outside a rate change both ends are at the port's rate, so a link at
    // 9600 already needs no exchange.
    CSerialCommState state;
    bool confirmed = true;
    if (open && port.GetState(state) && state.m_baudRate != 9600) {
        // The exchange has ended, but a reply that came just after its
        // time-out must not be taken for the rate change's echo.
        Pause(port, protocol::kPauseShort);
        port.PurgeInput();
        port.SetReadTimeout(protocol::kTimeoutStanding);
        confirmed = m_app.SetLink9600(port);
    }
    port.Close();
    if (open) m_report(confirmed ? "link at 9600 bps; port closed" : std::string("the board did not confirm 9600 bps: ") + kNeedsReset);
    Finish(confirmed ? kExitSignalBase + signal : kExitNoLink);
}

void CSignalEnding::LeaveAsItIs(int signal) {
    m_ending = true;
    if (m_onEnding) m_onEnding();
    const bool open = m_app.m_port.IsOpen() != 0;
    m_app.m_port.Close();
    m_report(std::string("signal given again (after ") + CSignalStop::Name(signal) + "): the board was left as it is" +
             (open ? std::string("; ") + kNeedsReset : std::string()));
    Finish(kExitNoLink);
}

void CSignalEnding::Finish(int status) {
    if (m_beforeExit) m_beforeExit(status);
    if (m_exit) m_exit(status);
}

}  // namespace pelican
