#pragma once
// A clock whose pauses are also safe points of batch mode: a signal that
// ends the program is acted on during a protocol pause (a second of it after
// the synchronisation) instead of after it. Time itself is the inner clock's.
#include <functional>

#include "sys/Clock.h"

namespace pelican {

class CSafePointClock final : public IClock {
public:
    // safePoint is called at least every kSliceMs of a pause.
    static constexpr uint32_t kSliceMs = 50;

    CSafePointClock(IClock& inner, const std::function<void()>& safePoint) : m_inner(inner), m_safePoint(safePoint) {}

    uint64_t NowMs() const override { return m_inner.NowMs(); }
    void Sleep(uint32_t ms) override;
    // Microseconds pass through: a frame's time on the line (260 us for a
    // command at 115200 bps) is not rounded up to whole milliseconds.
    uint64_t NowUs() const override { return m_inner.NowUs(); }
    void SleepUs(uint64_t us) override;
    // The port's rests between looks at its queue are short: no safe point.
    void RestUs(uint64_t us) override { m_inner.RestUs(us); }
    bool IsVirtual() const override { return m_inner.IsVirtual(); }

private:
    IClock& m_inner;
    const std::function<void()>& m_safePoint;
};

}  // namespace pelican
