// The serial port's termios back end against the simulated board on a real
// pseudo-terminal, in real time: exact-length reads, time-outs, purge, hang-up,
// a frame's line time, parity marks and the reader thread. Kept few and short.
// Nothing here is timed against the wall: a test waits for what it needs
// (bytes in the terminal, the read under way), so a busy machine only makes
// it slower; how long a read waits is for the stepped clock's tests.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/posix/PosixSerialDevice.h"
#include "link/SerialComm.h"
#include "sim/PtyBoard.h"
#include "support/SimBench.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class PtyLink : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_pty.Start(&error)) << error;
        ASSERT_EQ(m_port.Open(m_pty.Path()), 1);
        ASSERT_EQ(m_port.SetState(CSerialCommState(9600, 8, 0, 0)), 1);
        m_port.SetReadTimeout(1000);
        ASSERT_EQ(Exchange(m_port, Bytes(16, 0x00), 1), Bytes{0xB0});
    }

    void PassId() { Exchange(m_port, {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 1, 2, 3, 4, 5, 6, 7}, 0); }

    // Bytes the terminal holds for the host, not yet taken by it.
    size_t Waiting() const {
        int count = 0;
        return ::ioctl(static_cast<int>(m_device->Handle()), FIONREAD, &count) == 0 ? static_cast<size_t>(count) : 0;
    }

    sim::CBootLoader m_board;
    sim::CPtyBoard m_pty{m_board};
    CPosixSerialDevice* m_device = new CPosixSerialDevice();  // owned by m_port
    CSerialComm m_port{std::unique_ptr<ISerialDevice>(m_device), RealClock()};
};

TEST_F(PtyLink, StatusWithinTheProgramIntervalAfterAPageAt9600) {
    PassId();
    Bytes frame{0x41, 0x00, 0x0C};
    frame.resize(259, 0x00);
    m_port.SetReadTimeout(150);
    const auto start = Clock::now();
    EXPECT_EQ(m_port.Send(frame.data(), frame.size()), 259);
    EXPECT_GE(MsSince(start), 269);  // 270 ms on a clock of whole milliseconds
    RealClock().Sleep(40);
    EXPECT_EQ(Exchange(m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
    EXPECT_EQ(m_board.Peek(0x0C0000), 0x00);
}

TEST_F(PtyLink, ErasedFlashReadsAsFFNotAsParityMarks) {
    PassId();
    // The marking terminal doubles every good FF character.
    EXPECT_EQ(Exchange(m_port, {0xFF, 0x00, 0x0C}, 256), Bytes(256, 0xFF));
    m_port.SetReadTimeout(100);
    EXPECT_EQ(Exchange(m_port, {0x70}, 2), (Bytes{0x80, 0x0C}));
}

TEST_F(PtyLink, ReaderRunsBesideReceiveAndCloseStopsIt) {
    std::atomic<int> calls{0};
    const auto count = [](void* seen, uint32_t) { ++*static_cast<std::atomic<int>*>(seen); };
    ASSERT_EQ(m_port.StartReader(count, &calls, 1), 1);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(Exchange(m_port, {0x70}, 2), (Bytes{0x80, 0x00}));
        EXPECT_EQ(Exchange(m_port, {0xFB}, 8), (Bytes{'V', 'E', 'R', '.', '1', '.', '0', '0'}));
    }
    EXPECT_GT(calls.load(), 0);
    EXPECT_EQ(m_port.Close(), 1);
    EXPECT_EQ(m_port.StopReader(), 0);  // Close stopped it already
}

TEST_F(PtyLink, ExactLengthAndTheRestStaysQueued) {
    const uint8_t version = 0xFB;
    m_port.Send(&version, 1);
    ASSERT_TRUE(WaitFor([this] { return Waiting() >= 8; }));  // all 8 are in
    uint8_t text[8] = {};
    EXPECT_EQ(m_port.Receive(text, 5), 5);
    EXPECT_EQ(std::string(text, text + 5), "VER.1");
    m_port.SetReadTimeout(50);
    EXPECT_EQ(m_port.Receive(text, 3), 3);
    EXPECT_EQ(std::string(text, text + 3), ".00");
    EXPECT_EQ(m_port.Receive(text, 1), 0);
    EXPECT_EQ(m_board.ReceivedBytes().back(), 0xFB);
}

TEST_F(PtyLink, TimeOutEndsTheReadNoSoonerThanTheLimit) {
    m_port.SetReadTimeout(300);
    const auto start = Clock::now();
    uint8_t byte = 0;
    EXPECT_EQ(m_port.Receive(&byte, 1), 0);
    EXPECT_EQ(m_port.m_timedOut, 1);
    EXPECT_GE(MsSince(start), 300);
}

TEST_F(PtyLink, PurgeDiscardsWhatArrived) {
    const uint8_t version = 0xFB;
    m_port.Send(&version, 1);
    ASSERT_TRUE(WaitFor([this] { return Waiting() >= 8; }));
    m_port.PurgeInput();
    m_port.SetReadTimeout(200);
    uint8_t byte = 0;
    EXPECT_EQ(m_port.Receive(&byte, 1), 0);
    EXPECT_EQ(m_port.m_timedOut, 1);
    EXPECT_EQ(Exchange(m_port, {0x70}, 2), (Bytes{0x80, 0x00}));
}

TEST_F(PtyLink, FarEndClosingMidReadEndsTheReadAsALineFailure) {
    // The far end goes once the read has waited a while; a time-out no
    // machine reaches, so that only the hang-up can end the read.
    std::atomic<bool> reading{false};
    m_port.SetWaitHook([&reading] { reading = true; }, 20);
    m_port.SetReadTimeout(600000);
    std::thread unplug([&] {
        if (WaitFor([&reading] { return reading.load(); })) m_pty.Stop();
    });
    uint8_t byte = 0;
    EXPECT_EQ(m_port.Receive(&byte, 1), 0);
    unplug.join();
    EXPECT_TRUE(reading);
    EXPECT_EQ(m_port.m_timedOut, 0);
    EXPECT_TRUE(m_port.DeviceFailed());
    EXPECT_EQ(m_port.Close(), 1);
    // Kept past the close: what the user is told of the port that went.
    EXPECT_EQ(m_port.Fault().error, ENODEV);
    EXPECT_EQ(m_port.Fault().text, "Input/output error");
}

TEST_F(PtyLink, SecondOpenOfTheSameTerminalFails) {
    CSerialComm other(std::make_unique<CPosixSerialDevice>(), RealClock());
    EXPECT_EQ(other.Open(m_pty.Path()), 0);
    EXPECT_EQ(m_port.Close(), 1);
    EXPECT_EQ(other.Open(m_pty.Path()), 1);
    // The board kept the line up between the two hosts.
    other.SetState(CSerialCommState(9600, 8, 0, 0));
    other.SetReadTimeout(1000);
    EXPECT_EQ(Exchange(other, {0x70}, 2), (Bytes{0x80, 0x00}));
}

TEST_F(PtyLink, BaudRateChangeFollowsTheHostsLineSettings) {
    EXPECT_EQ(Exchange(m_port, {0xB0}, 1), Bytes{0xB0});
    EXPECT_EQ(Exchange(m_port, {0xB4}, 1), Bytes{0xB4});
    ASSERT_EQ(m_port.SetState(CSerialCommState(115200, 8, 0, 0)), 1);
    EXPECT_EQ(Exchange(m_port, {0xB4}, 1), Bytes{0xB4});
    EXPECT_EQ(Exchange(m_port, {0x70}, 2), (Bytes{0x80, 0x00}));
    EXPECT_EQ(m_board.BaudRate(), 115200u);

    // The host at 9600, the board at 115200: the board cannot frame the
    // command and says nothing.
    ASSERT_EQ(m_port.SetState(CSerialCommState(9600, 8, 0, 0)), 1);
    m_port.SetReadTimeout(300);
    const size_t errorsBefore = m_board.LineErrors();
    EXPECT_TRUE(Exchange(m_port, {0x70}, 2).empty());
    EXPECT_EQ(m_port.m_timedOut, 1);
    EXPECT_GT(m_board.LineErrors(), errorsBefore);

    // A reply sent at 115200 to a host that has meanwhile gone to 9600
    // arrives as garbage.
    ASSERT_EQ(m_port.SetState(CSerialCommState(115200, 8, 0, 0)), 1);
    sim::SimFaults faults;
    faults.lateReply = sim::SimTrigger{0xFB, 0};
    faults.lateMs = 150;
    m_board.SetFaults(faults);
    const uint8_t version = 0xFB;
    m_port.Send(&version, 1);
    // Let the board take the command at 115200 before the host moves.
    ASSERT_TRUE(WaitFor([this] { return m_board.ReceivedBytes().back() == 0xFB; }));
    ASSERT_EQ(m_port.SetState(CSerialCommState(9600, 8, 0, 0)), 1);
    // The whole reply has left the board; what the host makes of it may take
    // a moment more to reach its terminal.
    ASSERT_TRUE(WaitFor([this] { return !m_board.NextDueUs().has_value(); }));
    ASSERT_TRUE(WaitFor([this] { return Waiting() > 0; }));
    m_port.SetReadTimeout(500);
    Bytes garbage;
    uint8_t byte = 0;
    while (m_port.Receive(&byte, 1) == 1) garbage.push_back(byte);
    EXPECT_FALSE(garbage.empty());
    EXPECT_LT(garbage.size(), 8u);
    for (uint8_t b : garbage) EXPECT_EQ(b, 0xFF);
}

TEST_F(PtyLink, ResetFromAnotherThreadUnsynchronisesTheBoard) {
    // RESET pressed by another thread while the host waits for a reply the
    // board holds back: the reply is dropped, the read gets nothing and the
    // board wants synchronising again. Pressed directly, and the
    // signal-handler way (the serving thread presses it when woken).
    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "Reset" : "RequestReset");
        sim::SimFaults faults;
        faults.lateReply = sim::SimTrigger{0x70, 0};
        faults.lateMs = 600000;
        m_board.SetFaults(faults);
        std::atomic<bool> reading{false};
        m_port.SetWaitHook([&reading] { reading = true; }, 20);
        m_port.SetReadTimeout(1000);
        std::thread button([&] {
            if (!WaitFor([&reading] { return reading.load(); })) return;
            if (direct)
                m_pty.Reset();
            else
                m_pty.RequestReset();
        });
        EXPECT_TRUE(Exchange(m_port, {0x70}, 2).empty());
        button.join();
        m_port.SetWaitHook(nullptr, 20);
        EXPECT_TRUE(reading);
        EXPECT_TRUE(WaitFor([this] { return !m_board.Synchronised(); }));
        EXPECT_FALSE(m_board.NextDueUs().has_value());  // the held reply is gone
        EXPECT_EQ(m_board.BaudRate(), 9600u);

        m_board.SetFaults(sim::SimFaults{});
        m_port.SetReadTimeout(1000);
        EXPECT_EQ(Exchange(m_port, Bytes(16, 0x00), 1), Bytes{0xB0});
        EXPECT_EQ(Exchange(m_port, {0x70}, 2), (Bytes{0x80, 0x00}));
    }
}

}  // namespace
}  // namespace pelican::test
