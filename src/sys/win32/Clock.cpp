#include "sys/Clock.h"

#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

namespace pelican {
namespace {

// The performance counter: the one time source on Windows finer than the
// 15.6 ms timer tick.
int64_t CounterFrequency() {
    static const int64_t frequency = [] {
        LARGE_INTEGER value;
        ::QueryPerformanceFrequency(&value);
        return value.QuadPart > 0 ? value.QuadPart : 1;
    }();
    return frequency;
}

uint64_t CounterUs() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    const int64_t frequency = CounterFrequency();
    const int64_t ticks = now.QuadPart;
    return static_cast<uint64_t>(ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency);
}

// The link's pauses are counted in tens of microseconds (a character is
// 87 us at 115200 bps), and Sleep wakes on the system's timer tick, 15.6 ms
// unless a program asks for 1 ms: a 40 ms page pause would cost half a tick
// more on average, a third of every page at 115200. So the timer is asked
// to tick every millisecond, Sleep takes the pause but its last stretch, and
// the rest is waited out against the performance counter, giving the
// processor away meanwhile.
void AskForFineTicks() {
    static const bool asked = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    static_cast<void>(asked);
}

// The stretch left to the counter: a Sleep of n ms may last up to a tick
// longer.
constexpr uint64_t kSpinUs = 1500;

void PauseUs(uint64_t us) {
    AskForFineTicks();
    const uint64_t until = CounterUs() + us;
    if (us > kSpinUs) {
        const uint64_t sleepMs = (us - kSpinUs) / 1000;
        if (sleepMs > 0) ::Sleep(static_cast<DWORD>(sleepMs > 0xFFFFFFF0u ? 0xFFFFFFF0u : sleepMs));
    }
    while (CounterUs() < until) ::SwitchToThread();
}

}  // namespace

uint64_t CRealClock::NowMs() const {
    return CounterUs() / 1000;
}

void CRealClock::Sleep(uint32_t ms) {
    PauseUs(uint64_t{ms} * 1000);
}

uint64_t CRealClock::NowUs() const {
    return CounterUs();
}

void CRealClock::SleepUs(uint64_t us) {
    PauseUs(us);
}

IClock& RealClock() {
    static CRealClock clock;
    return clock;
}

}  // namespace pelican
