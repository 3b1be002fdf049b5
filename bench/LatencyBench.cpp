// What a USB serial bridge's latency timer costs: the read check and the
// program phase of 64 pages at 115200 bps, and status reads, against the
// simulated board on a pseudo-terminal, straight and through a bridge whose
// timer is 1 ms and 16 ms (FTDI's default, which Windows keeps unless the
// user lowers it; on Linux Pelican asks the driver for low latency, which
// sets it to 1 ms). The bridge is modelled in the host process (see
// UsbLatencyDevice.h), so the figures hold for any machine and adapter of
// that kind. Exit status 1 when a run did not end as it should, or the 1 ms
// bridge costs more than a tenth over the straight line (the model is off).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LinkBenchHost.h"
#include "PhaseTimer.h"
#include "UsbLatencyDevice.h"
#include "commands/ProgramCmd.h"
#include "commands/ReadCmd.h"
#include "link/Exchange.h"
#include "link/posix/PosixSerialDevice.h"
#include "protocol/Protocol.h"
#include "sim/BootLoader.h"
#include "sim/PtyBoard.h"
#include "sys/Clock.h"

namespace pelican::bench {
namespace {

constexpr uint32_t kBaud = 115200;
constexpr uint32_t kStart = 0x0C0000;
constexpr uint32_t kPages = 64;
constexpr int kStatusReads = 100;

struct Result {
    const char* line = "";
    double readMs = 0;
    double programMs = 0;
    double statusMs = 0;  // per status read
    bool ended = false;
};

std::string WriteImage(const std::filesystem::path& dir) {
    const std::string path = (dir / "latency.mot").string();
    std::ofstream out(path);
    char line[128];
    for (uint32_t address = kStart; address < kStart + kPages * 256; address += 32) {
        unsigned sum = 4 + 32 + (address >> 16 & 0xFF) + (address >> 8 & 0xFF) + (address & 0xFF);
        int n = std::snprintf(line, sizeof line, "S2%02X%06X", 4 + 32, static_cast<unsigned>(address));
        for (uint32_t i = 0; i < 32; ++i) {
            const auto byte = static_cast<uint8_t>((address + i) * 7 + 1);
            sum += byte;
            n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X", byte);
        }
        std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X\n", ~sum & 0xFF);
        out << line;
    }
    out << "S804000000FB\n";
    return path;
}

// latencyMs 0: no bridge, the terminal straight.
Result Run(const std::filesystem::path& dir, const char* name, uint32_t latencyMs) {
    Result result;
    result.line = name;
    sim::BoardConfig config;
    config.requireId = false;
    config.keepLog = false;
    sim::CBootLoader board(config);
    const std::vector<uint8_t> zeros(sim::CBootLoader::kSyncZeros, 0x00);
    board.Inject(zeros.data(), zeros.size(), RealClock().NowUs());
    const uint8_t code = protocol::BaudRateCode(kBaud);
    board.Inject(&code, 1, RealClock().NowUs());
    board.DiscardReplies();
    sim::CPtyBoard pty(board);
    std::unique_ptr<ISerialDevice> device = std::make_unique<CPosixSerialDevice>();
    if (latencyMs != 0) device = std::make_unique<CUsbLatencyDevice>(std::move(device), latencyMs);
    CLinkBenchHost host(std::move(device), RealClock(), 0);
    CPhaseTimer ui;
    std::string error;
    if (!pty.Start(&error) || !host.OpenLink(pty.Path(), kBaud)) {
        std::fprintf(stderr, "pelican-bench-latency: %s\n", error.empty() ? "cannot open the terminal" : error.c_str());
        return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    host.m_ui = &ui;
    const uint32_t end = kStart + kPages * 256 - 1;
    bool ended = host.Image().Load(ui, WriteImage(dir));
    ui.Answer(kStart, end);
    ended = ended && CProgramCmd(host).Run() == Outcome::Done;
    result.programMs = static_cast<double>(ui.m_closeUs - ui.m_openUs) / 1000.0;
    ui.Answer(kStart, end);
    ended = ended && CReadCmd(host).Run() == Outcome::Done;
    result.readMs = static_cast<double>(ui.m_closeUs - ui.m_openUs) / 1000.0;
    const uint64_t began = WallUs();
    for (int i = 0; i < kStatusReads && ended; ++i) {
        uint8_t status[2];
        ended = ReadStatus(host.Port(), status) == ReadResult::Ok;
    }
    result.statusMs = static_cast<double>(WallUs() - began) / 1000.0 / kStatusReads;
    result.ended = ended && host.Recoveries() == 0 && ui.m_messages.size() == 1;  // "Program OK."; a read check without a difference says nothing
    host.Port().Close();
    pty.Stop();
    return result;
}

}  // namespace
}  // namespace pelican::bench

int main() {
    using namespace pelican::bench;
    char pattern[] = "/tmp/pelican-bench-latency-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 2;
    const std::filesystem::path dir = pattern;
    const std::vector<Result> results = {Run(dir, "straight", 0), Run(dir, "timer 1 ms", 1),
                                         Run(dir, "timer 16 ms", 16)};
    std::filesystem::remove_all(dir);

    std::printf("64 pages at 115200 bps against the simulated board on a pseudo-terminal, through a USB bridge model\n");
    std::printf("%-12s  %12s  %12s  %15s  %15s  %12s  %s\n", "line", "read ms", "per page", "program ms", "per page",
                "status ms", "result");
    bool pass = true;
    for (const Result& r : results) {
        pass = pass && r.ended;
        std::printf("%-12s  %12.1f  %12.2f  %15.1f  %15.2f  %12.2f  %s\n", r.line, r.readMs, r.readMs / kPages,
                    r.programMs, r.programMs / kPages, r.statusMs, r.ended ? "ok" : "FAILED (did not end as expected)");
    }
    const Result& straight = results[0];
    const Result& fast = results[1];
    const Result& slow = results[2];
    const bool modelSound = fast.readMs <= straight.readMs * 1.10;
    pass = pass && modelSound;
    if (fast.readMs > 0 && fast.programMs > 0)
        std::printf("timer 16 ms against 1 ms: read check %+.0f %%, program %+.0f %%, status read %+.1f ms%s\n",
                    (slow.readMs / fast.readMs - 1) * 100, (slow.programMs / fast.programMs - 1) * 100,
                    slow.statusMs - fast.statusMs, modelSound ? "" : " (1 ms bridge more than 10 % over straight: MISSED)");
    return pass ? 0 : 1;
}
