// The page loops of program, read check, dump and download over a real
// pseudo-terminal, against the simulated board moving bytes at line speed on
// the real clock. Each phase is timed from the opening of its progress
// window (before the first frame) to its closing (after the last page), and
// compared with the least time the protocol itself needs for that work.
// The board runs in this process on its own thread; its CPU time is taken
// out of the process's, so that the CPU column is Pelican's alone.
// E.P.R. of an image as this family's typically are (16 KiB of code at
// 0C0000 and the vector table's page 0FFF00) runs with and without skipping
// the pages without data; its erase is not timed.
// Exit status 1 when a target is missed. "pelican-bench-link epr" runs only
// the E.P.R. rows, "pelican-bench-link pages" only the others.
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LinkBenchHost.h"
#include "PhaseTimer.h"
#include "commands/DownloadCmd.h"
#include "commands/DumpCmd.h"
#include "commands/EPRCmd.h"
#include "commands/ProgramCmd.h"
#include "commands/ReadCmd.h"
#include "link/posix/PosixSerialDevice.h"
#include "protocol/Protocol.h"
#include "sim/BootLoader.h"
#include "sim/PtyBoard.h"
#include "sys/Clock.h"

namespace pelican::bench {
namespace {

constexpr uint32_t kProgramInterval = 40;  // ms, the default pause after a page
constexpr uint32_t kProgramStart = 0x0C0000;
constexpr uint32_t kProgramPages = 64;
constexpr uint32_t kDownloadPages = 42;    // 0000-29FF
constexpr double kCpuTarget = 0.02;        // CPU time / wall time
constexpr uint32_t kEprCodePages = 64;     // 16 KiB of code at 0C0000
constexpr uint32_t kVectorPage = 0x0FFF00; // the vector table and the ID bytes
constexpr uint32_t kFlashStart = 0x0C0000;
constexpr uint32_t kFlashSize = 0x40000;
constexpr double kSkipTarget = 0.10;       // time with the pages skipped / time without

uint8_t DataByte(uint32_t address) {
    uint32_t x = address * 2654435761u;
    x ^= x >> 13;
    return static_cast<uint8_t>(x == 0xFF ? 0x5A : x);
}

struct Block {
    uint32_t start;
    uint32_t pages;
};

// S2 records of 32 bytes over [start, start + pages * 256) of each block.
std::string WriteImage(const std::filesystem::path& dir, const char* name, const std::vector<Block>& blocks) {
    const std::string path = (dir / name).string();
    std::ofstream out(path);
    char line[128];
    for (const auto& [start, pages] : blocks) {
        for (uint32_t address = start; address < start + pages * 256; address += 32) {
            unsigned sum = 4 + 32;
            int n = std::snprintf(line, sizeof line, "S2%02X%06X", 4 + 32, static_cast<unsigned>(address));
            sum += (address >> 16 & 0xFF) + (address >> 8 & 0xFF) + (address & 0xFF);
            for (uint32_t i = 0; i < 32; ++i) {
                const uint8_t b = DataByte(address + i);
                sum += b;
                n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X", b);
            }
            std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X\n", ~sum & 0xFF);
            out << line;
        }
    }
    out << "S804000000FB\n";
    return path;
}

std::string WriteImage(const std::filesystem::path& dir, const char* name, uint32_t start, uint32_t pages) {
    return WriteImage(dir, name, std::vector<Block>{{start, pages}});
}

struct Row {
    uint32_t baud = 0;
    const char* phase = "";
    uint32_t pages = 0;
    double wallMs = 0;
    double minimumMs = 0;
    double cpuMs = 0;
    bool ended = false;  // the command ended as it should
};

double LineMs(uint64_t bytes, uint32_t baud) {
    return static_cast<double>(bytes) * 10.0 * 1000.0 / baud;
}

// A board already synchronised at baud, on a terminal of its own.
struct Rig {
    Rig(sim::BoardConfig config, uint32_t baud, int target)
        : board(std::move(config)), pty(board), host(std::make_unique<CPosixSerialDevice>(), RealClock(), target) {
        const std::vector<uint8_t> zeros(sim::CBootLoader::kSyncZeros, 0x00);
        board.Inject(zeros.data(), zeros.size(), RealClock().NowUs());
        const uint8_t code = protocol::BaudRateCode(baud);
        board.Inject(&code, 1, RealClock().NowUs());
        board.DiscardReplies();
        std::string error;
        ok = pty.Start(&error) && host.OpenLink(pty.Path(), baud);
        if (!ok) std::fprintf(stderr, "pelican-bench-link: %s\n", error.empty() ? "cannot open the terminal" : error.c_str());
        // Let the board's rate change settle before the first frame.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ui.m_haveOther = ok && ::pthread_getcpuclockid(pty.ServingThread(), &ui.m_otherThread) == 0;
        host.m_ui = &ui;
    }
    ~Rig() {
        host.Port().Close();
        pty.Stop();
    }
    // The phase of the index-th progress window of the run.
    void TakeSpan(Row& row, size_t index) const {
        const CPhaseTimer::Span& span = ui.m_spans.at(index);
        row.wallMs = static_cast<double>(span.wallUs) / 1000.0;
        row.cpuMs = static_cast<double>(span.cpuNs > span.otherNs ? span.cpuNs - span.otherNs : 0) / 1e6;
    }
    void Take(Row& row) const {
        row.wallMs = static_cast<double>(ui.m_closeUs - ui.m_openUs) / 1000.0;
        const uint64_t process = ui.m_closeCpuNs - ui.m_openCpuNs;
        const uint64_t other = ui.m_closeOtherNs - ui.m_openOtherNs;
        row.cpuMs = static_cast<double>(process > other ? process - other : 0) / 1e6;
    }

    sim::CBootLoader board;
    sim::CPtyBoard pty;
    CLinkBenchHost host;
    CPhaseTimer ui;
    bool ok = false;
};

sim::BoardConfig Board(sim::DeviceType type) {
    sim::BoardConfig config;
    config.type = type;
    config.requireId = false;
    config.keepLog = false;
    return config;
}

void ProgramAndRead(const std::filesystem::path& dir, uint32_t baud, std::vector<Row>& rows) {
    Rig rig(Board(sim::DeviceType::OrcaSP), baud, 0);
    Row program{baud, "program", kProgramPages};
    Row read{baud, "read", kProgramPages};
    // A dump reads every page until two reads agree: twice on a clean line.
    Row dump{baud, "dump", kProgramPages};
    program.minimumMs = kProgramPages * (LineMs(259 + 1 + 2, baud) + kProgramInterval);
    read.minimumMs = kProgramPages * LineMs(3 + 256, baud);
    dump.minimumMs = 2 * read.minimumMs;
    if (rig.ok && rig.host.Image().Load(rig.ui, WriteImage(dir, "program.mot", kProgramStart, kProgramPages))) {
        const uint32_t end = kProgramStart + kProgramPages * 256 - 1;
        rig.ui.Answer(kProgramStart, end);
        program.ended = CProgramCmd(rig.host).Run() == Outcome::Done;
        rig.Take(program);
        rig.ui.Answer(kProgramStart, end);
        read.ended = CReadCmd(rig.host).Run() == Outcome::Done && rig.ui.m_messages.size() == 1;
        rig.Take(read);
        read.ended = read.ended && rig.host.Recoveries() == 0;
        const std::string saved = (dir / "dump.bin").string();
        dump.ended = CDumpCmd(rig.host).Run(kProgramStart, end, saved) == Outcome::Done &&
                     rig.host.Recoveries() == 0 && std::filesystem::file_size(saved) == kProgramPages * 256;
        rig.Take(dump);
    }
    rows.push_back(program);
    rows.push_back(read);
    rows.push_back(dump);
}

void Download(const std::filesystem::path& dir, uint32_t baud, std::vector<Row>& rows) {
    Rig rig(Board(sim::DeviceType::OrcaW), baud, 1);
    Row download{baud, "download", kDownloadPages};
    download.minimumMs = kDownloadPages * (LineMs(256, baud) + kProgramInterval) + LineMs(4, baud);
    if (rig.ok && rig.host.Image().Load(rig.ui, WriteImage(dir, "boot.btp", 0, kDownloadPages))) {
        rig.ui.Answer(0, kDownloadPages * 256 - 1);
        download.ended = CDownloadCmd(rig.host).Run() == Outcome::Done;
        rig.Take(download);
    }
    rows.push_back(download);
}

// E.P.R. of the code and the vector page: its program and read phases as
// two rows, each against the minimum for the frames the board received;
// both count as ended only when the flash equals the file (FF where it
// gives nothing) over the whole flash. The two phases' time is added to
// phasesMs.
void EraseProgramRead(const std::filesystem::path& dir, bool skip, std::vector<Row>& rows, double& phasesMs) {
    sim::BoardConfig config = Board(sim::DeviceType::OrcaSP);
    config.keepLog = true;
    Rig rig(config, 115200, 0);
    rig.host.m_skipEmptyPages = skip;
    Row program{115200, skip ? "epr skip prog" : "epr prog", 0};
    Row read{115200, skip ? "epr skip read" : "epr read", 0};
    const std::vector<Block> blocks = {{kProgramStart, kEprCodePages}, {kVectorPage, 1}};
    if (rig.ok && rig.host.Image().Load(rig.ui, WriteImage(dir, "epr.mot", blocks))) {
        const bool done = CEPRCmd(rig.host).Run() == Outcome::Done;
        for (const auto& frame : rig.board.Frames()) {
            program.pages += frame.bytes.at(0) == 0x41 ? 1 : 0;
            read.pages += frame.bytes.at(0) == 0xFF ? 1 : 0;
        }
        std::vector<uint8_t> file(kFlashSize, 0xFF);
        for (const auto& [start, pages] : blocks)
            for (uint32_t a = start; a < start + pages * 256; ++a) file[a - kFlashStart] = DataByte(a);
        const bool flashIsFile = rig.board.Peek(kFlashStart, kFlashSize) == file;
        const bool ended = done && flashIsFile && rig.ui.m_messages.size() == 1 && rig.host.Recoveries() == 0 &&
                           rig.ui.m_spans.size() == 2;
        if (!flashIsFile) std::fprintf(stderr, "pelican-bench-link: %s: the flash differs from the file\n", read.phase);
        if (rig.ui.m_spans.size() == 2) {
            rig.TakeSpan(program, 0);
            rig.TakeSpan(read, 1);
        }
        program.ended = read.ended = ended;
    }
    program.minimumMs = program.pages * (LineMs(259 + 1 + 2, 115200) + kProgramInterval);
    read.minimumMs = read.pages * LineMs(3 + 256, 115200);
    phasesMs += program.wallMs + read.wallMs;
    rows.push_back(program);
    rows.push_back(read);
}

}  // namespace
}  // namespace pelican::bench

int main(int argc, char** argv) {
    using namespace pelican::bench;
    const std::string only = argc > 1 ? argv[1] : "";
    if (argc > 2 || (!only.empty() && only != "epr" && only != "pages")) {
        std::fprintf(stderr, "usage: pelican-bench-link [epr|pages]\n");
        return 2;
    }
    char pattern[] = "/tmp/pelican-bench-link-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 2;
    const std::filesystem::path dir = pattern;

    std::vector<Row> rows;
    if (only != "epr") {
        for (const uint32_t baud : {115200u, 57600u, 9600u}) {
            ProgramAndRead(dir, baud, rows);
            Download(dir, baud, rows);
        }
    }
    double everyPageMs = 0;
    double skippingMs = 0;
    if (only != "pages") {
        EraseProgramRead(dir, false, rows, everyPageMs);
        EraseProgramRead(dir, true, rows, skippingMs);
    }
    std::filesystem::remove_all(dir);

    bool pass = true;
    std::printf("Page loops over a pseudo-terminal, board in process on its own thread (its CPU time not counted)\n");
    std::printf("%7s  %-13s  %5s  %10s  %10s  %6s  %6s  %8s  %5s  %s\n", "bps", "phase", "pages", "wall ms",
                "minimum ms", "ratio", "target", "CPU ms", "CPU%", "result");
    for (const Row& row : rows) {
        const double ratio = row.wallMs > 0 ? row.minimumMs / row.wallMs : 0;
        const double target = row.baud == 9600 ? 0.99 : 0.97;
        const double cpu = row.wallMs > 0 ? row.cpuMs / row.wallMs : 0;
        const bool ok = row.ended && ratio >= target && cpu <= kCpuTarget;
        pass = pass && ok;
        std::printf("%7u  %-13s  %5u  %10.1f  %10.1f  %6.3f  %6.2f  %8.1f  %5.2f  %s\n", row.baud, row.phase,
                    row.pages, row.wallMs, row.minimumMs, ratio, target, row.cpuMs, cpu * 100,
                    !row.ended ? "FAILED (command did not end as expected)" : ok ? "ok" : "MISSED");
    }
    std::printf("Targets: ratio (minimum / wall) >= 0.97 at 115200 and 57600, >= 0.99 at 9600; CPU <= %.0f %% of wall\n",
                kCpuTarget * 100);
    for (size_t i = 0; i + 1 < rows.size(); ++i) {
        if (std::string(rows[i].phase) != "read" || std::string(rows[i + 1].phase) != "dump") continue;
        std::printf("dump at %u bps: %.1f ms for %u pages read twice each, %.2f times the read check's %.1f ms\n",
                    rows[i].baud, rows[i + 1].wallMs, rows[i + 1].pages,
                    rows[i].wallMs > 0 ? rows[i + 1].wallMs / rows[i].wallMs : 0.0, rows[i].wallMs);
    }
    if (only != "pages") {
        // The program and read phases of E.P.R., the erase left out.
        const double share = everyPageMs > 0 ? skippingMs / everyPageMs : 1;
        const bool ok = share <= kSkipTarget;
        pass = pass && ok;
        std::printf("E.P.R. of 16 KiB at 0C0000 and page 0FFF00 at 115200 bps, program and read phases: "
                    "%.1f ms skipping pages without data, %.1f ms sending every page: %.3f (target <= %.2f) %s\n",
                    skippingMs, everyPageMs, share, kSkipTarget, ok ? "ok" : "MISSED");
    }
    return pass ? 0 : 1;
}
