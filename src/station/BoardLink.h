#pragma once
// One board's link as batch mode puts it together: the device, wrapped so
// that every wait for the board is a point where a signal is looked at, the
// clock whose pauses are such points too, and the application on them. The
// runner made for it sets m_waitPoint. Each board of a gang, and each run
// of --loop, has its own.
#include <functional>
#include <memory>

#include "app/PelicanApp.h"
#include "lifecycle/SafePointClock.h"
#include "lifecycle/SafePointDevice.h"

namespace pelican {

class CBoardLink {
public:
    CBoardLink(std::unique_ptr<ISerialDevice> device, IClock& clock)
        : m_clock(clock, m_waitPoint),
          m_app(std::make_unique<CSafePointDevice>(std::move(device), m_clock, m_waitPoint), m_clock) {}

    std::function<void()> m_waitPoint;
    CSafePointClock m_clock;
    CPelicanApp m_app;
};

}  // namespace pelican
