#pragma once
// A real clock as far as its user can tell (the port paces reads by line
// time), whose time moves only by the sleeps and waits of the code under
// test, and by the test itself.
#include <algorithm>
#include <cstdint>

#include "sys/Clock.h"

namespace pelican::test {

class CSteppedClock final : public IClock {
public:
    explicit CSteppedClock(uint64_t startUs) : m_us(startUs) {}
    uint64_t NowMs() const override { return m_us / 1000; }
    uint64_t NowUs() const override { return m_us; }
    void Sleep(uint32_t ms) override { m_us += uint64_t{ms} * 1000; }
    void SleepUs(uint64_t us) override { m_us += us; }
    // Forward to us, never back.
    void MoveTo(uint64_t us) { m_us = std::max(m_us, us); }

private:
    uint64_t m_us;
};

}  // namespace pelican::test
