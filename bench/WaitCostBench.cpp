// What the program's waits for the board cost on the real clock. The whole
// batch run is one thread: a wait that spins would starve the simulated
// board (and, on a production line, the other boards' runs) of the CPU.
//
//   1. A 5 s read time-out on a pseudo-terminal that stays silent: waited
//      out in full, with under 0.1 s of CPU and fewer than 100 times the
//      thread gave the processor up (a wait that looks every millisecond
//      gives it up thousands of times).
//   2. A status read after Erase all over the in-memory link on the real
//      clock (the board busy 200 ms): the wait sleeps until the reply is
//      due, at least 190 ms and short of the fault limit, with under
//      0.05 s of CPU.
//
// Exit status 1 when a bound is missed or a reply is not as the protocol
// has it.
//
//   pelican-bench-wait-cost
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "link/SerialComm.h"
#include "link/posix/PosixSerialDevice.h"
#include "sim/BootLoader.h"
#include "sim/MemoryLink.h"
#include "sim/PtyBoard.h"
#include "sys/Clock.h"

namespace pelican::bench {
namespace {

using Bytes = std::vector<uint8_t>;
using Ms = std::chrono::milliseconds;

// A wait no healthy reply comes near: it ends a wait that slept through
// the reply's arrival.
constexpr Ms kFaultLimit{30000};

// What the calling thread alone has used. Neither figure grows with the
// machine's load: a busy machine makes a wait longer, not costlier.
struct ThreadUse {
    double cpuSeconds = 0;
    long waits = 0;
};

ThreadUse UseOfThisThread() {
    rusage use{};
    getrusage(RUSAGE_THREAD, &use);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {seconds(use.ru_utime) + seconds(use.ru_stime), use.ru_nvcsw};
}

Bytes Exchange(CSerialComm& port, const Bytes& command, size_t replyLength) {
    port.Send(command.data(), command.size());
    Bytes reply(replyLength);
    if (replyLength == 0) return reply;
    const int got = port.Receive(reply.data(), replyLength);
    reply.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return reply;
}

bool Check(bool ok, const char* what) {
    if (!ok) std::printf("  missed: %s\n", what);
    return ok;
}

bool SilentTimeOut() {
    sim::CBootLoader board;
    sim::CPtyBoard pty(board);
    std::string error;
    if (!pty.Start(&error)) {
        std::printf("pseudo-terminal: %s\n", error.c_str());
        return false;
    }
    CSerialComm port(std::make_unique<CPosixSerialDevice>(), RealClock());
    if (port.Open(pty.Path()) != 1 || port.SetState(CSerialCommState(9600, 8, 0, 0)) != 1) return false;
    port.SetReadTimeout(5000);
    bool ok = Check(Exchange(port, Bytes(16, 0x00), 1) == Bytes{0xB0}, "synchronisation answered B0");

    const ThreadUse before = UseOfThisThread();
    const auto start = std::chrono::steady_clock::now();
    uint8_t reply[2];
    const auto got = port.Receive(reply, 2);  // nothing was asked: nothing comes
    const auto elapsed = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start).count();
    const ThreadUse after = UseOfThisThread();
    const double cpu = after.cpuSeconds - before.cpuSeconds;
    const long waits = after.waits - before.waits;
    std::printf("5 s time-out on a pseudo-terminal   %6lld ms  %.4f s CPU  %5ld waits\n",
                static_cast<long long>(elapsed), cpu, waits);
    ok = Check(got == 0 && port.m_timedOut == 1, "nothing received, timed out") && ok;
    ok = Check(elapsed >= 5000, "the time-out waited out (>= 5000 ms)") && ok;
    ok = Check(cpu < 0.1, "CPU < 0.1 s") && ok;
    return Check(waits < 100, "fewer than 100 waits") && ok;
}

bool EraseStatusOnTheRealClock() {
    sim::BoardConfig config;
    config.eraseMs = 200;
    sim::CBootLoader board(config);
    CSerialComm port(std::make_unique<sim::CMemoryLink>(board, RealClock()), RealClock());
    if (port.Open("COM1") != 1) return false;
    port.SetState(CSerialCommState(9600, 8, 0, 0));
    port.SetReadTimeout(static_cast<int32_t>(kFaultLimit.count()));
    bool ok = Check(Exchange(port, Bytes(16, 0x00), 1) == Bytes{0xB0}, "synchronisation answered B0");
    Exchange(port, {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 1, 2, 3, 4, 5, 6, 7}, 0);  // the ID check
    Exchange(port, {0x75}, 0);                                               // Clear status
    Exchange(port, {0xA7, 0xD0}, 0);                                         // Erase all
    timespec cpu0{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
    const auto start = std::chrono::steady_clock::now();
    const Bytes status = Exchange(port, {0x70}, 2);
    const auto waited = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start);
    timespec cpu1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
    const double cpu = static_cast<double>(cpu1.tv_sec - cpu0.tv_sec) +
                       static_cast<double>(cpu1.tv_nsec - cpu0.tv_nsec) / 1e9;
    std::printf("status after a 200 ms erase         %6lld ms  %.4f s CPU\n",
                static_cast<long long>(waited.count()), cpu);
    ok = Check(status == (Bytes{0x80, 0x0C}) && port.m_timedOut == 0, "status 80 0C without a time-out") && ok;
    ok = Check(waited >= Ms(190) && waited < kFaultLimit, "waited until the reply was due (190 ms .. 30 s)") && ok;
    return Check(cpu < 0.05, "CPU < 0.05 s") && ok;
}

}  // namespace
}  // namespace pelican::bench

int main() {
    const bool timeOut = pelican::bench::SilentTimeOut();
    const bool erase = pelican::bench::EraseStatusOnTheRealClock();
    const bool ok = timeOut && erase;
    std::printf("%s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
