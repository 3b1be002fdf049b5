#pragma once
// The window program's way with SIGTERM, SIGHUP and Ctrl-C (a logout, a
// kill, Ctrl-C in its terminal; on Windows the end of the session and the
// console's events): as in batch mode, the link is brought back to 9600 bps
// at the next point outside an exchange with the board before the program
// ends, so that the next start reaches the board. The event loop watches
// WakeFd() (on Windows it is told by a posted message instead) and calls
// OnWake(); every end of a read, every wait of the port and every pause of
// the clock is looked at as well.
#include <functional>
#include <memory>
#include <string>

#include "lifecycle/SafePointClock.h"
#include "lifecycle/SignalEnding.h"
#include "link/SerialDevice.h"

namespace pelican {

class CPelicanApp;

class CWindowSignals {
public:
    // inner: the clock the program runs on.
    explicit CWindowSignals(IClock& inner);
    ~CWindowSignals();
    CWindowSignals(const CWindowSignals&) = delete;
    CWindowSignals& operator=(const CWindowSignals&) = delete;

    // The clock and the serial device to build the application on: their
    // waits are where a signal is looked at inside an exchange.
    IClock& Clock() { return m_clock; }
    std::unique_ptr<ISerialDevice> Wrap(std::unique_ptr<ISerialDevice> device);
    // Takes the signals for the application; report tells a line on
    // standard error. The application is built on Clock() and Wrap(), so it
    // ends before this object does.
    void Attach(CPelicanApp& app, std::function<void(const std::string&)> report);

    // Readable when a signal came (-1 on Windows).
    static int WakeFd();
    // The event loop saw WakeFd readable (it may be called at any time).
    void OnWake();

    // Attached: how the program ends (tests replace m_exit).
    CSignalEnding& Ending() { return *m_ending; }

private:
    std::function<void()> m_waitPoint;
    CSafePointClock m_clock;
    std::unique_ptr<CSignalEnding> m_ending;
};

}  // namespace pelican
