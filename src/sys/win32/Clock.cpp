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
// unless the program asked for 1 ms (CFineTimer, for the whole run): a 40 ms
// page pause would cost half a tick more on average, a third of every page
// at 115200, and a look at the port's queue every millisecond would become
// one every 16. So a pause sleeps on a high-resolution waitable timer where
// the system has them (Windows 10 1803 and later), which keeps to about
// half a millisecond whatever the tick; else on Sleep with the tick asked
// to be a millisecond. A pause sleeps but its last stretch, and the rest is
// waited out against the performance counter, giving the processor away
// meanwhile; a rest (RestUs) sleeps all of it.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// A thread's fine timer, closed when the thread ends: a production line
// runs a thread for every board it takes, for days.
class CThreadTimer {
public:
    CThreadTimer()
        : m_handle(::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS)) {}
    ~CThreadTimer() {
        if (m_handle != nullptr) ::CloseHandle(m_handle);
    }
    CThreadTimer(const CThreadTimer&) = delete;
    CThreadTimer& operator=(const CThreadTimer&) = delete;
    HANDLE Handle() const { return m_handle; }

private:
    HANDLE m_handle;
};

// The timer of the calling thread, or none where the system lacks them.
HANDLE FineTimer() {
    thread_local const CThreadTimer timer;
    return timer.Handle();
}

void AskForFineTicks() {
    static const bool asked = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    static_cast<void>(asked);
}

// The stretch left to the counter: such a timer wakes a few tens of
// microseconds late, a Sleep of n ms up to a tick.
constexpr uint64_t kTimerSpinUs = 250;
constexpr uint64_t kSleepSpinUs = 1500;

// Sleeps about us (never less), on the fine timer or else on Sleep.
void SleepFor(uint64_t us) {
    HANDLE timer = FineTimer();
    if (timer != nullptr) {
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(us * 10);  // relative, 100 ns units
        if (::SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) ::WaitForSingleObject(timer, INFINITE);
        return;
    }
    AskForFineTicks();
    const uint64_t ms = (us + 999) / 1000;
    ::Sleep(static_cast<DWORD>(ms > 0xFFFFFFF0u ? 0xFFFFFFF0u : ms));
}

void PauseUs(uint64_t us) {
    const uint64_t until = CounterUs() + us;
    const bool fine = FineTimer() != nullptr;
    const uint64_t spin = fine ? kTimerSpinUs : kSleepSpinUs;
    // Without the fine timer only whole milliseconds are slept.
    const uint64_t sleep = us <= spin ? 0 : fine ? us - spin : (us - spin) / 1000 * 1000;
    if (sleep > 0) SleepFor(sleep);
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

void CRealClock::RestUs(uint64_t us) {
    if (us > 0) SleepFor(us);
}

IClock& RealClock() {
    static CRealClock clock;
    return clock;
}

}  // namespace pelican
