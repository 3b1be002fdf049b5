#include "batch/SafePointClock.h"

namespace pelican {

void CSafePointClock::Sleep(uint32_t ms) {
    // The pause ends when the inner clock says so, whatever interrupts it.
    const uint64_t end = m_inner.NowMs() + ms;
    for (uint64_t now = m_inner.NowMs(); now < end; now = m_inner.NowMs()) {
        const uint64_t left = end - now;
        m_inner.Sleep(static_cast<uint32_t>(left < kSliceMs ? left : kSliceMs));
        if (m_safePoint) m_safePoint();
    }
}

}  // namespace pelican
