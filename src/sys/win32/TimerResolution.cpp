#include "sys/TimerResolution.h"

#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

namespace pelican {

CFineTimer::CFineTimer() : m_granted(::timeBeginPeriod(1) == TIMERR_NOERROR) {
    // Windows 11 may leave the tick of a process whose windows are all
    // hidden or minimised at its default (batch mode owns a hidden session
    // window; the window program may be minimised while a board is in
    // work): ask that this process's request always be honoured. A system
    // that does not know the request refuses it and honours the tick anyway.
    PROCESS_POWER_THROTTLING_STATE state{};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    state.ControlMask = PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
    state.StateMask = 0;
    ::SetProcessInformation(::GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state);
}

CFineTimer::~CFineTimer() {
    if (m_granted) ::timeEndPeriod(1);
}

}  // namespace pelican
