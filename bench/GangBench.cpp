// One board against three at once: the same batch job (program of 64 pages
// at 115200 bps, then a read check) on simulated boards served on their own
// pseudo-terminals, each moving bytes at line speed on the real clock, the
// program's own gang runner and termios back end. The three boards must
// take at most 1.3 times as long as the one; exit status 1 when they do
// not, or when a board was not programmed right.
//
//   pelican-bench-gang [BOARDS]      (default 3)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "station/BatchRunner.h"
#include "production/GangRunner.h"
#include "link/posix/PosixSerialDevice.h"
#include "sim/BootLoader.h"
#include "sim/PtyBoard.h"
#include "sys/Clock.h"

namespace pelican::bench {
namespace {

constexpr uint32_t kStart = 0x0C0000;
constexpr uint32_t kPages = 64;
constexpr double kTarget = 1.3;

uint8_t DataByte(uint32_t address) {
    uint32_t x = address * 2654435761u;
    x ^= x >> 13;
    return static_cast<uint8_t>(x == 0xFF ? 0x5A : x);
}

// S2 records of 32 bytes over the pages, and the board's ID file beside them.
std::string WriteImage(const std::filesystem::path& folder) {
    const std::string path = (folder / "gang.mot").string();
    std::ofstream out(path);
    for (uint32_t address = kStart; address < kStart + kPages * 256; address += 32) {
        char record[128];
        unsigned sum = 36 + (address >> 16 & 0xFF) + (address >> 8 & 0xFF) + (address & 0xFF);
        int length = std::snprintf(record, sizeof record, "S224%06X", address);
        for (uint32_t i = 0; i < 32; ++i) {
            sum += DataByte(address + i);
            length += std::snprintf(record + length, sizeof record - length, "%02X", DataByte(address + i));
        }
        std::snprintf(record + length, sizeof record - length, "%02X\n", ~sum & 0xFF);
        out << record;
    }
    out << "S9030000FC\n";
    std::ofstream(folder / "gang.id") << "FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n";
    return path;
}

struct Outcome {
    double seconds = 0;
    int status = 0;
    bool flashRight = true;
};

Outcome RunGang(size_t boards, const std::string& image) {
    std::vector<std::unique_ptr<sim::CBootLoader>> sims;
    std::vector<std::unique_ptr<sim::CPtyBoard>> ptys;
    std::vector<std::string> args = {"pelican"};
    for (size_t i = 0; i < boards; ++i) {
        sims.push_back(std::make_unique<sim::CBootLoader>(sim::BoardConfig{}));
        ptys.push_back(std::make_unique<sim::CPtyBoard>(*sims.back()));
        std::string error;
        if (!ptys.back()->Start(&error)) {
            std::fprintf(stderr, "no pseudo-terminal: %s\n", error.c_str());
            std::exit(2);
        }
        args.insert(args.end(), {"-p", ptys.back()->Path()});
    }
    args.insert(args.end(), {"-f", image, "-b", "115200", "-r", "C0000-C3FFF", "-y", "program", "read"});
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    BatchOptions options;
    int exitCode = 0;
    if (ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options, exitCode) != CommandLine::Batch)
        std::exit(2);
    CGangRunner gang(options, [&ptys](const std::string& port) {
        BoardSetup setup;
        setup.clock = &RealClock();
        setup.makeDevice = [] { return std::make_unique<CPosixSerialDevice>(); };
        sim::CPtyBoard* pty = nullptr;
        for (auto& candidate : ptys)
            if (candidate->Path() == port) pty = candidate.get();
        setup.prepare = [pty](CBatchRunner& runner) {
            runner.m_questions.m_interactive = false;
            runner.m_boardReset.m_onPress = [pty] { pty->Reset(); };
        };
        return setup;
    });
    gang.m_console.m_out = [](const std::string&) {};
    gang.m_console.m_err = [](const std::string&) {};
    gang.m_console.m_draw = [](const std::string&) {};
    const auto began = std::chrono::steady_clock::now();
    Outcome outcome;
    outcome.status = gang.Run();
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    for (auto& board : sims)
        for (uint32_t address = kStart; address < kStart + kPages * 256; address += 97)
            if (board->Peek(address) != DataByte(address)) outcome.flashRight = false;
    return outcome;
}

}  // namespace
}  // namespace pelican::bench

int main(int argc, char** argv) {
    using namespace pelican::bench;
    const size_t boards = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 3;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("pelican-bench-gang-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    const std::string image = WriteImage(folder);
    const Outcome one = RunGang(1, image);
    const Outcome many = RunGang(boards, image);
    std::filesystem::remove_all(folder);
    const double ratio = one.seconds > 0 ? many.seconds / one.seconds : 0;
    std::printf("%-34s %8s %7s %s\n", "job (program 64 pages + read)", "seconds", "status", "flash");
    std::printf("%-34s %8.2f %7d %s\n", "1 board", one.seconds, one.status, one.flashRight ? "right" : "WRONG");
    std::printf("%-34s %8.2f %7d %s\n", (std::to_string(boards) + " boards at once").c_str(), many.seconds,
                many.status, many.flashRight ? "right" : "WRONG");
    std::printf("%-34s %8.2f (target <= %.1f)\n", "ratio", ratio, kTarget);
    const bool ok = one.status == 0 && many.status == 0 && one.flashRight && many.flashRight && ratio <= kTarget;
    return ok ? 0 : 1;
}
