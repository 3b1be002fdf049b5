// How a read paces itself on a real line, on a clock that only moves when
// the port sleeps or waits: a device that hands on its bytes in bursts (a
// USB adapter's packets, a terminal's buffer) must not hold the end of a
// read back, and the wait for a frame to leave the line is counted in
// microseconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "link/SerialComm.h"
#include "support/SteppedClock.h"

namespace pelican::test {
namespace {

// A device at 9600 bps whose input arrives in scripted bursts: `count`
// bytes handed on at `atUs`. Waits jump to the next burst or the deadline.
class CBurstDevice final : public ISerialDevice {
public:
    CBurstDevice(CSteppedClock& clock, uint32_t baud) : m_clock(clock), m_baud(baud) {}
    void Script(std::vector<std::pair<uint64_t, size_t>> bursts) { m_bursts = std::move(bursts); }
    int Waits() const { return m_waits; }

    bool Open(const std::string&) override { return m_open = true; }
    bool Close() override { return !(m_open = false); }
    bool IsOpen() const override { return m_open; }
    intptr_t Handle() const override { return m_open ? 3 : -1; }
    void RaiseDtr() override {}
    long Write(const uint8_t*, size_t length) override { return static_cast<long>(length); }
    // A wedged adapter takes the frame and never sends it.
    DrainResult Drain(uint64_t deadlineMs) override {
        if (!m_wedged) return DrainResult::Drained;
        m_clock.MoveTo(deadlineMs * 1000);
        return DrainResult::Pending;
    }
    bool m_wedged = false;
    bool QueryInput(uint32_t& errors, size_t& queued) override {
        errors = 0;
        queued = Arrived() - m_taken;
        return true;
    }
    long Read(uint8_t* data, size_t length) override {
        const size_t count = std::min(length, Arrived() - m_taken);
        std::fill_n(data, count, uint8_t{0x5A});
        m_taken += count;
        return static_cast<long>(count);
    }
    bool PurgeInput() override { return true; }
    bool GetLine(LineSettings& line) override {
        line = LineSettings{m_baud, 8, 0, 0};
        return true;
    }
    bool SetLine(const LineSettings&) override { return true; }
    int SetModemLine(ModemLine, bool) override { return 0; }
    void WaitInput(uint64_t deadlineMs, size_t) override {
        ++m_waits;
        uint64_t until = deadlineMs * 1000;
        for (const auto& [at, count] : m_bursts)
            if (at > m_clock.NowUs()) until = std::min(until, at);
        m_clock.MoveTo(until);
    }

private:
    size_t Arrived() const {
        size_t arrived = 0;
        for (const auto& [at, count] : m_bursts)
            if (at <= m_clock.NowUs()) arrived += count;
        return arrived;
    }

    CSteppedClock& m_clock;
    uint32_t m_baud;
    bool m_open = false;
    std::vector<std::pair<uint64_t, size_t>> m_bursts;
    size_t m_taken = 0;
    int m_waits = 0;
};

struct Rig {
    explicit Rig(uint32_t baud = 9600) {
        auto owned = std::make_unique<CBurstDevice>(clock, baud);
        device = owned.get();
        port = std::make_unique<CSerialComm>(std::move(owned), clock);
        port->Open("ttyS0");
        port->SetReadTimeout(5000);
    }
    CSteppedClock clock{1000000};
    CBurstDevice* device = nullptr;
    std::unique_ptr<CSerialComm> port;
};

TEST(ReadPacing, APageReadEndsWithItsLastByteHoweverTheBytesAreHandedOn) {
    constexpr uint64_t kCharUs = 1042;  // ten bits at 9600 bps
    uint8_t page[256];
    {
        SCOPED_TRACE("at line speed, a byte at a time");
        Rig rig;
        const uint64_t start = rig.clock.NowUs();
        std::vector<std::pair<uint64_t, size_t>> bursts;
        for (uint64_t i = 1; i <= 256; ++i) bursts.emplace_back(start + i * kCharUs, 1);
        rig.device->Script(bursts);
        EXPECT_EQ(rig.port->Read(page, 256), ReadResult::Ok);
        EXPECT_EQ(rig.clock.NowUs(), start + 256 * kCharUs);
        // Not woken for every byte: the reply's line time is slept through.
        EXPECT_LE(rig.device->Waits(), 6);
    }
    {
        // The count the port sees lags the line: a second sleep reckoned
        // from it would end long after the last byte is there.
        SCOPED_TRACE("in bursts that lag the line");
        Rig rig;
        const uint64_t start = rig.clock.NowUs();
        rig.device->Script({{start + 10 * kCharUs, 10}, {start + 100000, 100}, {start + 256 * kCharUs, 146}});
        EXPECT_EQ(rig.port->Read(page, 256), ReadResult::Ok);
        EXPECT_EQ(rig.clock.NowUs(), start + 256 * kCharUs);
    }
    {
        SCOPED_TRACE("a reply that stops short times out at the limit");
        Rig rig;
        const uint64_t start = rig.clock.NowUs();
        rig.device->Script({{start + 10 * kCharUs, 10}, {start + 200 * kCharUs, 190}});
        EXPECT_EQ(rig.port->Read(page, 256), ReadResult::TimedOut);
        EXPECT_EQ(rig.clock.NowMs(), start / 1000 + 5001);
    }
}

TEST(ReadPacing, AFrameIsSentWhenItsLastBitHasLeftTheLineToTheMicrosecond) {
    for (const auto& [baud, length, lineUs] : {std::tuple<uint32_t, size_t, uint64_t>{115200, 3, 261},
                                               {115200, 1, 87},
                                               {115200, 259, 22483},
                                               {9600, 1, 1042}}) {
        SCOPED_TRACE(testing::Message() << length << " bytes at " << baud << " bps");
        Rig rig(baud);
        const std::vector<uint8_t> frame(length, 0x41);
        const uint64_t start = rig.clock.NowUs();
        EXPECT_EQ(rig.port->Send(frame.data(), frame.size()), static_cast<int>(length));
        EXPECT_EQ(rig.clock.NowUs() - start, lineUs);
    }
}

TEST(ReadPacing, AFrameThatDoesNotLeaveAWedgedAdapterIsAFailedSendAfterFiveSeconds) {
    Rig rig;
    rig.device->m_wedged = true;
    const uint8_t status = 0x70;
    const uint64_t start = rig.clock.NowMs();
    EXPECT_EQ(rig.port->Send(&status, 1), 0);
    // One byte's line time at 9600 bps (a millisecond, rounded up), then
    // the five seconds the adapter is given.
    EXPECT_EQ(rig.clock.NowMs() - start, 5002u);
    EXPECT_EQ(rig.port->CurrentActivity(), CSerialComm::Activity::Idle);
    rig.device->m_wedged = false;
    EXPECT_EQ(rig.port->Send(&status, 1), 1);
}

}  // namespace
}  // namespace pelican::test
