#pragma once
// A serial device whose waits for input are also safe points of batch mode:
// a signal that ends the program is acted on while the program waits for the
// board (a reply due in 40 s, a board that stays silent), not after the
// time-out. Everything else goes to the device it wraps.
#include <functional>
#include <memory>

#include "link/DeviceWrapper.h"

namespace pelican {

class CSafePointDevice final : public CDeviceWrapper {
public:
    // safePoint is called at least every kSliceMs while input is awaited.
    static constexpr uint64_t kSliceMs = 50;

    CSafePointDevice(std::unique_ptr<ISerialDevice> inner, const std::function<void()>& safePoint)
        : CDeviceWrapper(std::move(inner)), m_safePoint(safePoint) {}

    void WaitInput(uint64_t deadlineMs, size_t seen) override;

private:
    const std::function<void()>& m_safePoint;
};

}  // namespace pelican
