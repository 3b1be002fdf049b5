#include "sys/TimerResolution.h"

namespace pelican {

// The kernel's timers are not tied to a tick the program could ask for.
CFineTimer::CFineTimer() : m_granted(true) {}

CFineTimer::~CFineTimer() = default;

}  // namespace pelican
