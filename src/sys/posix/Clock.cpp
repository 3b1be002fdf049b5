#include "sys/Clock.h"

#include <sys/prctl.h>

#include <chrono>
#include <thread>

namespace pelican {
namespace {

// The pauses of the link are counted in tens of microseconds (a character
// is 87 us at 115200 bps), and the kernel lets a sleeping thread wake up to
// its timer slack late, 50 us unless told otherwise: a page exchange would
// lose that twice over. The slack is the thread's own, so every thread that
// pauses on this clock asks for it once.
void TightenTimerSlack() {
    thread_local const bool asked = ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    static_cast<void>(asked);
}

}  // namespace

uint64_t CRealClock::NowMs() const {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CRealClock::Sleep(uint32_t ms) {
    TightenTimerSlack();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint64_t CRealClock::NowUs() const {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void CRealClock::SleepUs(uint64_t us) {
    TightenTimerSlack();
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

// A sleep of the kernel's own gives the processor away all along.
void CRealClock::RestUs(uint64_t us) {
    SleepUs(us);
}

IClock& RealClock() {
    static CRealClock clock;
    return clock;
}

}  // namespace pelican
