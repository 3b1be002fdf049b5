#include "batch/SafePointDevice.h"

#include <algorithm>

#include "sys/Clock.h"

namespace pelican {

void CSafePointDevice::WaitInput(uint64_t deadlineMs, size_t seen) {
    // The device's own wait may sleep up to its deadline; cut it short so
    // that the safe point comes round often enough.
    Inner().WaitInput(std::min(deadlineMs, RealClock().NowMs() + kSliceMs), seen);
    if (m_safePoint) m_safePoint();
}

}  // namespace pelican
