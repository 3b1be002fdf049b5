// The serial port's logic over the in-memory back end: opening, closed-port
// behaviour, line errors, the line time of a frame and the
// receive-notification thread.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "link/DeviceWrapper.h"
#include "sim/MemoryLink.h"
#include "support/SimBench.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

TEST(MemoryLink, OpensOnlyItsOwnPortAndTheBoardTakesOneHost) {
    CSimBench bench;
    auto device = std::make_unique<sim::CMemoryLink>(bench.Board(), bench.Clock());
    sim::CMemoryLink* link = device.get();
    CSerialComm port(std::move(device), bench.Clock());
    EXPECT_EQ(port.Open("COM2"), 0);
    EXPECT_EQ(port.IsOpen(), 0);
    EXPECT_EQ(port.PortName(), "");
    EXPECT_EQ(port.Open("COM1"), 1);
    EXPECT_EQ(port.PortName(), "COM1");
    EXPECT_TRUE(link->DtrRaised());
    EXPECT_FALSE(link->Open("COM1"));  // already open

    // A second host on the same board: the connector is taken.
    CSerialComm second(bench.MakeDevice(), bench.Clock());
    EXPECT_EQ(second.Open("COM1"), 0);
    EXPECT_EQ(port.Close(), 1);
    EXPECT_FALSE(link->DtrRaised());
    EXPECT_EQ(second.Open("COM1"), 1);

    // A link given another name stands for a port the program will not find.
    CSerialComm missing(bench.MakeDevice("/dev/ttyUSB7"), bench.Clock());
    EXPECT_EQ(missing.Open("COM1"), 0);
}

TEST(MemoryLink, ClosedPortFailsQuietlyAndReportsZeros) {
    CSimBench bench;
    CSerialComm port(bench.MakeDevice(), bench.Clock());
    EXPECT_EQ(port.Close(), 1);
    CSerialCommState state(9600, 8, 0, 0);
    EXPECT_EQ(port.GetState(state), 0);
    EXPECT_EQ(state.m_baudRate, 0u);
    EXPECT_EQ(state.m_byteSize, 0);
    EXPECT_EQ(state.m_parity, 0);
    EXPECT_EQ(state.m_stopBits, 0);
    const uint8_t status = 0x70;
    EXPECT_EQ(port.Send(&status, 1), 0);
    port.SetReadTimeout(5000);
    const uint64_t before = bench.Clock().NowMs();
    uint8_t reply[2];
    EXPECT_EQ(port.Receive(reply, 2), 0);
    EXPECT_EQ(port.m_timedOut, 0);
    EXPECT_EQ(bench.Clock().NowMs(), before);
    EXPECT_TRUE(bench.Received().empty());

    ASSERT_EQ(port.Open("COM1"), 1);
    EXPECT_EQ(port.SetState(CSerialCommState(38400, 7, 2, 2)), 1);
    EXPECT_EQ(port.GetState(state), 1);
    EXPECT_EQ(state.m_baudRate, 38400u);
    EXPECT_EQ(state.m_byteSize, 7);
    EXPECT_EQ(state.m_parity, 2);
    EXPECT_EQ(state.m_stopBits, 2);
    EXPECT_EQ(port.SetState(CSerialCommState(9600, 9, 0, 0)), 0);  // no such line
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(port.GetState(state), 0);
    EXPECT_EQ(state.m_baudRate, 0u);
}

TEST(MemoryLink, LineErrorEndsTheReadAtOnceWithoutTimeOut) {
    sim::BoardConfig config;
    config.faults.lineError = sim::SimTrigger{0x70, 0};
    CSimBench bench(config);
    bench.Synchronise();
    auto port = bench.OpenPort();
    port->SetReadTimeout(5000);
    const uint64_t before = bench.Clock().NowMs();
    EXPECT_TRUE(Exchange(*port, {0x70}, 2).empty());
    EXPECT_EQ(port->m_timedOut, 0);
    // The command and the broken character take their line time, no more.
    EXPECT_EQ(bench.Clock().NowMs(), before + 3);  // 2.1 ms
    // The error was cleared by the query that reported it.
    EXPECT_EQ(Exchange(*port, {0xFB}, 8).size(), 8u);
    // A time-out for comparison: the clock runs to just past the limit.
    const uint8_t read[] = {0xFF, 0x00, 0x0C};  // no ID yet: no answer
    ASSERT_EQ(port->Send(read, 3), 3);
    const uint64_t sent = bench.Clock().NowMs();
    uint8_t page[256];
    EXPECT_EQ(port->Receive(page, 256), 0);
    EXPECT_EQ(port->m_timedOut, 1);
    EXPECT_EQ(bench.Clock().NowMs(), sent + 5001);
}

// A Page program frame is 2590 bits on the wire. Send returns when it has
// left, so the program interval and the status time-out start after it.
TEST(MemoryLink, StatusAfterAPageProgramFrame) {
    for (const auto& [baud, frameMs] : {std::pair<uint32_t, uint64_t>{9600, 270}, {115200, 23}}) {
        CSimBench bench;
        bench.PassId(baud);
        auto port = bench.OpenPort(baud);
        port->SetReadTimeout(150);
        Bytes frame{0x41, 0x00, 0x0C};
        frame.resize(259, 0x00);
        const uint64_t start = bench.Clock().NowMs();
        EXPECT_EQ(port->Send(frame.data(), frame.size()), 259);
        EXPECT_EQ(bench.Clock().NowMs() - start, frameMs);
        bench.Clock().Sleep(40);
        EXPECT_EQ(Exchange(*port, {0x70}, 2), (Bytes{0x80, 0x0C})) << baud;
        EXPECT_EQ(bench.Board().Peek(0x0C0000), 0x00);
    }
}

// The board takes bytes at line speed: a host that writes and does not wait
// finds its status command queued behind the page, answered too late.
TEST(MemoryLink, AHostThatDoesNotWaitForItsFrameTimesOut) {
    CSimBench bench;
    bench.PassId();
    auto device = std::make_unique<sim::CMemoryLink>(bench.Board(), bench.Clock());
    sim::CMemoryLink& link = *device;
    CSerialComm port(std::move(device), bench.Clock());
    ASSERT_EQ(port.Open("COM1"), 1);
    port.SetReadTimeout(150);
    Bytes frame{0x41, 0x00, 0x0C};
    frame.resize(259, 0x00);
    const uint8_t status = 0x70;
    ASSERT_EQ(link.Write(frame.data(), frame.size()), 259);
    bench.Clock().Sleep(40);
    ASSERT_EQ(link.Write(&status, 1), 1);
    uint8_t reply[2];
    EXPECT_EQ(port.Receive(reply, 2), 0);
    EXPECT_EQ(port.m_timedOut, 1);
    EXPECT_EQ(port.Receive(reply, 2), 2);
}

// What the wait costs in time and CPU is measured by pelican-bench-wait-cost.
TEST(MemoryLink, OnTheRealClockAWaitEndsWithTheReplyWithoutATimeOut) {
    sim::BoardConfig config;
    config.eraseMs = 5;
    sim::CBootLoader board(config);
    CSerialComm port(std::make_unique<sim::CMemoryLink>(board, RealClock()), RealClock());
    ASSERT_EQ(port.Open("COM1"), 1);
    port.SetState(CSerialCommState(9600, 8, 0, 0));
    // A limit only a fault reaches: a wait that slept through the reply's
    // arrival ends there instead.
    port.SetReadTimeout(static_cast<int32_t>(kFaultLimit.count()));
    ASSERT_EQ(Exchange(port, Bytes(16, 0x00), 1), Bytes{0xB0});
    const Bytes id{0xF5, 0xDF, 0xFF, 0x0F, 0x07, 1, 2, 3, 4, 5, 6, 7};
    Exchange(port, id, 0);
    Exchange(port, {0x75}, 0);
    Exchange(port, {0xA7, 0xD0}, 0);
    EXPECT_EQ(Exchange(port, {0x70}, 2), (Bytes{0x80, 0x0C}));
    EXPECT_EQ(port.m_timedOut, 0);
}

struct Notifications {
    std::mutex mutex;
    std::condition_variable changed;
    int calls = 0;
    uint32_t errors = 0;

    static void Callback(void* self, uint32_t errors) {
        auto* seen = static_cast<Notifications*>(self);
        std::lock_guard lock(seen->mutex);
        ++seen->calls;
        seen->errors |= errors;
        seen->changed.notify_all();
    }
    bool WaitForCall() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kFaultLimit, [this] { return calls > 0; });
    }
    void Clear() {
        std::lock_guard lock(mutex);
        calls = 0;
        errors = 0;
    }
};

// The memory link as the reader thread sees it: how many of its looks at the
// port found at least `count` bytes queued.
class CWatchedLink final : public CDeviceWrapper {
public:
    explicit CWatchedLink(std::unique_ptr<ISerialDevice> inner) : CDeviceWrapper(std::move(inner)) {}
    bool QueryInput(uint32_t& errors, size_t& queued) override {
        const bool ok = CDeviceWrapper::QueryInput(errors, queued);
        std::lock_guard lock(m_mutex);
        if (ok && queued >= m_count) ++m_looks;
        m_looked.notify_all();
        return ok;
    }
    // Waits until the port has been looked at `looks` times with count bytes queued.
    bool WaitForLooks(size_t count, int looks) {
        std::unique_lock lock(m_mutex);
        m_count = count;
        m_looks = 0;
        return m_looked.wait_for(lock, kFaultLimit, [&] { return m_looks >= looks; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_looked;
    size_t m_count = SIZE_MAX;
    int m_looks = 0;
};

TEST(MemoryLink, ReaderThreadNotifiesAndRestarts) {
    CSimBench bench;
    bench.Synchronise();
    auto* watched = new CWatchedLink(bench.MakeDevice());
    auto port = std::make_unique<CSerialComm>(std::unique_ptr<ISerialDevice>(watched), bench.Clock());
    ASSERT_EQ(port->Open("COM1"), 1);
    port->SetState(CSerialCommState(9600, 8, 0, 0));
    Notifications seen;
    // The reader only queries the board; the virtual clock stands still while
    // it runs, so the test moves it on until the replies have come in.
    EXPECT_EQ(port->StopReader(), 0);  // nothing to stop
    ASSERT_EQ(port->StartReader(&Notifications::Callback, &seen, 8), 1);
    EXPECT_EQ(port->StartReader(&Notifications::Callback, &seen, 8), 0);
    const uint8_t status = 0x70;
    port->Send(&status, 1);  // 2 bytes: under the threshold
    bench.Clock().Sleep(20);     // both queued now
    // Looked at twice with both there: what the reader made of the first
    // look is over once the second comes.
    ASSERT_TRUE(watched->WaitForLooks(2, 2));
    {
        std::lock_guard lock(seen.mutex);
        EXPECT_EQ(seen.calls, 0);
    }
    const uint8_t version = 0xFB;
    port->Send(&version, 1);
    bench.Clock().Sleep(20);  // 10 queued now
    EXPECT_TRUE(seen.WaitForCall());
    EXPECT_EQ(port->StopReader(), 1);
    {
        std::lock_guard lock(seen.mutex);
        EXPECT_EQ(seen.errors, 0u);
    }

    // Started again, it notifies a line error whatever the threshold.
    port->PurgeInput();
    seen.Clear();
    sim::SimFaults faults;
    faults.lineError = sim::SimTrigger{0x70, 0};
    bench.Board().SetFaults(faults);
    ASSERT_EQ(port->StartReader(&Notifications::Callback, &seen, 1000), 1);
    port->Send(&status, 1);
    bench.Clock().Sleep(5);
    EXPECT_TRUE(seen.WaitForCall());
    EXPECT_EQ(port->StopReader(), 1);
    std::lock_guard lock(seen.mutex);
    EXPECT_NE(seen.errors & kLineFraming, 0u);
}

}  // namespace
}  // namespace pelican::test
