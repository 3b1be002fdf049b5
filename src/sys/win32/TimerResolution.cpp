#include "sys/TimerResolution.h"

#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

namespace pelican {

CFineTimer::CFineTimer() : m_granted(::timeBeginPeriod(1) == TIMERR_NOERROR) {}

CFineTimer::~CFineTimer() {
    if (m_granted) ::timeEndPeriod(1);
}

}  // namespace pelican
