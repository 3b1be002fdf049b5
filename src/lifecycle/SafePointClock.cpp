#include "lifecycle/SafePointClock.h"

#include <algorithm>

namespace pelican {

void CSafePointClock::Sleep(uint32_t ms) {
    SleepUs(uint64_t{ms} * 1000);
}

void CSafePointClock::SleepUs(uint64_t us) {
    // The pause ends when the inner clock says so, whatever interrupts it.
    const uint64_t end = m_inner.NowUs() + us;
    for (uint64_t now = m_inner.NowUs(); now < end; now = m_inner.NowUs()) {
        m_inner.SleepUs(std::min<uint64_t>(end - now, uint64_t{kSliceMs} * 1000));
        if (m_safePoint) m_safePoint();
    }
}

}  // namespace pelican
