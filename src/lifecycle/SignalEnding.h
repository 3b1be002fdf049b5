#pragma once
// What a signal that ends the program does to the link, in batch mode and
// in the window program alike. A board left at a higher rate cannot be
// reached by the next run, which starts at 9600 bps, and a board in the
// middle of an exchange (erasing, sending a page) does not take a baud-rate
// code: so the exchange in flight is let finish (its reply comes or its
// own time-out runs out), and only then is the link brought back to
// 9600 bps with the standing time-out. What is waited for is told; a signal
// given again in that wait ends the program at once, the board as it is.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pelican {

class CPelicanApp;

class CSignalEnding {
public:
    // report: one line of the account on standard error ("pelican: ...").
    CSignalEnding(CPelicanApp& app, std::function<void(const std::string&)> report);

    // A point outside the exchanges with the board (a dialog waiting for its
    // answer, between pages, the end of a read): an ending signal ends the
    // program here, unless a baud-rate change is under way.
    void AtSafePoint();
    // A wait inside an exchange (the port waiting for a reply or for a frame
    // to leave, a protocol pause): the exchange goes on.
    void InWait();

    // Whether the program is on its way out (then no other action starts).
    bool Ending() const { return m_ending; }

    // The exit status once the link is back at 9600 bps (128 + signal) or
    // not (kExitNoLink); then the process ends with it.
    std::function<void(int status)> m_beforeExit;
    std::function<void(int status)> m_exit;
    // Called as the ending starts, before anything is sent (the window
    // program takes its message boxes off the screen from here).
    std::function<void()> m_onEnding;

    // The lines told on standard error.
    static std::string WaitingLine(int signal, const std::string& what, uint64_t ms);
    static const char* const kNeedsReset;
    // What the reply awaited answers, from the frames sent since the last
    // read: "the erase to finish", "the reply to the page read".
    static std::string WaitedFor(const std::vector<uint8_t>& frames, bool sending);

private:
    void End(int signal);
    void LeaveAsItIs(int signal);
    void Finish(int status);

    CPelicanApp& m_app;
    std::function<void(const std::string&)> m_report;
    bool m_ending = false;
    bool m_told = false;
    bool m_toldSending = false;  // what was told was a frame on its way out
};

}  // namespace pelican
