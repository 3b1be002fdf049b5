// A long read time-out over a real terminal must wait, not spin: the whole
// program runs on one thread and a 5 s wait at full CPU would also starve the
// simulated board and the rest of the machine.
#include <gtest/gtest.h>

#include <time.h>

#include <chrono>
#include <cstdio>

#include "link/posix/PosixSerialDevice.h"
#include "link/SerialComm.h"
#include "sim/PtyBoard.h"
#include "support/SimBench.h"

namespace pelican::test {
namespace {

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
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

    const double cpuBefore = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    uint8_t reply[2];
    EXPECT_EQ(port.Receive(reply, 2), 0);  // nothing was asked: nothing comes
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    EXPECT_EQ(port.m_timedOut, 1);
    EXPECT_GE(elapsed, 5000);
    EXPECT_LT(elapsed, 10000);  // generous: the machine may be busy
    EXPECT_LT(cpu, 0.1) << "CPU seconds spent waiting";
    std::printf("5 s time-out: %lld ms elapsed, %.4f s CPU (board thread included)\n",
                static_cast<long long>(elapsed), cpu);
}

}  // namespace
}  // namespace pelican::test
