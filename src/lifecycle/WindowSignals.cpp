#include "lifecycle/WindowSignals.h"

#include "app/PelicanApp.h"
#include "lifecycle/SafePointDevice.h"
#include "lifecycle/SignalStop.h"

namespace pelican {

CWindowSignals::CWindowSignals(IClock& inner) : m_clock(inner, m_waitPoint) {}

// The application's device and clock are this object's wrappers, so the
// application always ends first and takes the port's hook with it: nothing
// of it may be touched here.
CWindowSignals::~CWindowSignals() {
    CSignalStop::Uninstall();
}

std::unique_ptr<ISerialDevice> CWindowSignals::Wrap(std::unique_ptr<ISerialDevice> device) {
    return std::make_unique<CSafePointDevice>(std::move(device), m_clock, m_waitPoint);
}

void CWindowSignals::Attach(CPelicanApp& app, std::function<void(const std::string&)> report) {
    m_ending = std::make_unique<CSignalEnding>(app, std::move(report));
    m_waitPoint = [this] { m_ending->InWait(); };
    app.m_port.SetReadEndHook([this] { m_ending->AtSafePoint(); });
    // No page loop to cancel here: the first Ctrl-C ends the program.
    CSignalStop::Install(1);
}

int CWindowSignals::WakeFd() {
    return CSignalStop::WakeFd();
}

void CWindowSignals::OnWake() {
    CSignalStop::DrainWake();
    if (m_ending) m_ending->AtSafePoint();
}

}  // namespace pelican
