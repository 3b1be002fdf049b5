#pragma once
// A serial device whose waits (for input, for output to leave) are also
// points where a signal is looked at while the exchange in flight goes on:
// what it waits for is told, and a signal given again ends the program at
// once, without waiting for a reply due in 40 s or a frame that does not
// leave. Everything else goes to the device it wraps.
#include <functional>
#include <memory>

#include "link/DeviceWrapper.h"
#include "sys/Clock.h"

namespace pelican {

class CSafePointDevice final : public CDeviceWrapper {
public:
    // waitPoint is called at least every kSliceMs of the clock (the one the
    // port's deadlines are counted on) while input or a drain is awaited.
    static constexpr uint64_t kSliceMs = 50;

    CSafePointDevice(std::unique_ptr<ISerialDevice> inner, IClock& clock, const std::function<void()>& waitPoint)
        : CDeviceWrapper(std::move(inner)), m_clock(clock), m_waitPoint(waitPoint) {}

    void WaitInput(uint64_t deadlineMs, size_t seen) override;
    DrainResult Drain(uint64_t deadlineMs) override;

private:
    IClock& m_clock;
    const std::function<void()>& m_waitPoint;
};

}  // namespace pelican
