#pragma once
// The one clock that every pause and every read time-out is measured against.
// The real clock sleeps; the virtual clock (tests, in-memory board) jumps.
#include <atomic>
#include <cstdint>

namespace pelican {

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds since an arbitrary, fixed origin; never goes backwards.
    virtual uint64_t NowMs() const = 0;
    // A plain pause of the calling thread.
    virtual void Sleep(uint32_t ms) = 0;
    // The same in microseconds, for waits shorter than a millisecond or not
    // a whole number of them (a frame's time on the line). A clock that
    // counts whole milliseconds rounds the time up and the pause out.
    virtual uint64_t NowUs() const { return NowMs() * 1000; }
    virtual void SleepUs(uint64_t us) {
        const uint64_t ms = us / 1000 + (us % 1000 != 0 ? 1 : 0);
        Sleep(static_cast<uint32_t>(ms > UINT32_MAX ? UINT32_MAX : ms));
    }
    // A pause that gives the processor away for all of it, for a wait that
    // looks at something again: it may end a fraction of a millisecond late,
    // never early, and never a whole timer tick late.
    virtual void RestUs(uint64_t us) { SleepUs(us); }
    // True for a clock that only moves when someone advances it.
    virtual bool IsVirtual() const { return false; }
};

class CRealClock final : public IClock {
public:
    uint64_t NowMs() const override;
    void Sleep(uint32_t ms) override;
    uint64_t NowUs() const override;
    void SleepUs(uint64_t us) override;
    void RestUs(uint64_t us) override;
};

// Test clock: a pause advances time at once, and a wait for input jumps to
// the moment the simulated device has its next byte ready.
class CVirtualClock final : public IClock {
public:
    uint64_t NowMs() const override { return m_now; }
    void Sleep(uint32_t ms) override { AdvanceTo(m_now + ms); }
    bool IsVirtual() const override { return true; }
    void AdvanceTo(uint64_t when) {
        uint64_t now = m_now.load();
        while (when > now && !m_now.compare_exchange_weak(now, when)) {
        }
    }
    // Total time spent in Sleep calls and waits, for assertions on pacing.
    uint64_t Elapsed() const { return m_now - m_origin; }

private:
    uint64_t m_origin = 1000000;
    std::atomic<uint64_t> m_now{1000000};
};

// The process-wide real clock.
IClock& RealClock();

}  // namespace pelican
