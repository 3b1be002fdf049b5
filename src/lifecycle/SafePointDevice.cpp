#include "lifecycle/SafePointDevice.h"

#include <algorithm>

namespace pelican {

void CSafePointDevice::WaitInput(uint64_t deadlineMs, size_t seen) {
    // The device's own wait may sleep up to its deadline; cut it short so
    // that the wait point comes round often enough.
    Inner().WaitInput(std::min(deadlineMs, m_clock.NowMs() + kSliceMs), seen);
    if (m_waitPoint) m_waitPoint();
}

DrainResult CSafePointDevice::Drain(uint64_t deadlineMs) {
    for (;;) {
        const DrainResult result = Inner().Drain(std::min(deadlineMs, m_clock.NowMs() + kSliceMs));
        if (result != DrainResult::Pending) return result;
        if (m_waitPoint) m_waitPoint();
        if (m_clock.NowMs() >= deadlineMs) return DrainResult::Pending;
    }
}

}  // namespace pelican
