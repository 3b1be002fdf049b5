// The real clock for the hand-built serial test program (build-serial-test.sh):
// the steady clock and plain sleeps, which is all the serial tests need.
#include <chrono>
#include <thread>

#include "sys/Clock.h"

namespace pelican {

uint64_t CRealClock::NowMs() const {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CRealClock::Sleep(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint64_t CRealClock::NowUs() const {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void CRealClock::SleepUs(uint64_t us) {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

IClock& RealClock() {
    static CRealClock clock;
    return clock;
}

}  // namespace pelican
