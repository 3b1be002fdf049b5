// A long read time-out over a real terminal must wait, not spin: the whole
// program runs on one thread and a 5 s wait at full CPU would also starve the
// simulated board and the rest of the machine.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "link/posix/PosixSerialDevice.h"
#include "link/SerialComm.h"
#include "sim/PtyBoard.h"
#include "support/SimBench.h"

namespace pelican::test {
namespace {

// What the calling thread alone has used: its CPU time, and how often it
// gave the processor up to wait. Neither grows with the machine's load: a
// busy machine makes the wait longer, not costlier.
struct ThreadUse {
    double cpuSeconds = 0;
    long waits = 0;
};

ThreadUse UseOfThisThread() {
    rusage use{};
    getrusage(RUSAGE_THREAD, &use);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return {seconds(use.ru_utime) + seconds(use.ru_stime), use.ru_nvcsw};
}

TEST(PtyCpu, FiveSecondTimeOutCostsAlmostNoCpu) {
    sim::CBootLoader board;
    sim::CPtyBoard pty(board);
    std::string error;
    ASSERT_TRUE(pty.Start(&error)) << error;
    CSerialComm port(std::make_unique<CPosixSerialDevice>(), RealClock());
    ASSERT_EQ(port.Open(pty.Path()), 1);
    ASSERT_EQ(port.SetState(CSerialCommState(9600, 8, 0, 0)), 1);
    port.SetReadTimeout(5000);
    ASSERT_EQ(Exchange(port, Bytes(16, 0x00), 1), Bytes{0xB0});

    const ThreadUse before = UseOfThisThread();
    const auto start = std::chrono::steady_clock::now();
    uint8_t reply[2];
    EXPECT_EQ(port.Receive(reply, 2), 0);  // nothing was asked: nothing comes
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    const ThreadUse after = UseOfThisThread();
    EXPECT_EQ(port.m_timedOut, 1);
    EXPECT_GE(elapsed, 5000);  // the time-out was waited out, however busy the machine
    // A read that spins costs seconds of CPU; one that looks every
    // millisecond gives the processor up thousands of times. A wait on
    // the terminal does neither.
    EXPECT_LT(after.cpuSeconds - before.cpuSeconds, 0.1) << "CPU seconds spent waiting";
    EXPECT_LT(after.waits - before.waits, 100) << "times the wait gave the processor up";
    std::printf("5 s time-out: %lld ms elapsed, %.4f s CPU, %ld waits\n", static_cast<long long>(elapsed),
                after.cpuSeconds - before.cpuSeconds, after.waits - before.waits);
}

}  // namespace
}  // namespace pelican::test
