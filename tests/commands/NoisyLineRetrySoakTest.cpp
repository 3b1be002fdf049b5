// Batch mode with --retries 3 on a noisy line: E.P.R., B.P.R. and dump of a
// file with gaps, many runs each on a fresh board whose line flips a bit in
// a character now and then, either way, from the first byte on. The user
// presses RESET whenever told to. A run may still fail, but never silently:
// no exit status 0 over a flash that differs from the file anywhere in the
// range, no dump written that differs from the flash, and no file at all
// from a dump that failed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/BatchBench.h"
#include "support/GappedImage.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

constexpr unsigned kRuns = 48;
constexpr uint32_t kStart = GappedFile::kStart;
constexpr size_t kLength = GappedFile::kLength;

struct Tally {
    unsigned runs = 0;
    unsigned finished = 0;  // exit status 0, the flash (or the file) right
    unsigned told = 0;      // a failure the user was told of (exit status not 0)
    unsigned silent = 0;    // exit status 0 over a wrong flash or file
    unsigned retries = 0;   // retries told, over all runs
    unsigned leftFile = 0;  // a dump that failed and left a file
    uint64_t flips = 0;     // characters the line changed
};

enum class Action { Epr, Bpr, Dump };

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void SoakRun(Action action, const GappedFile& file, double rate, uint64_t seed, Tally& tally) {
    CBatchBench bench;
    const std::string program = WriteProgramFiles(bench.m_dir, file.records + "S804000000FB\n");
    // A dump reads a flash programmed before, with the file.
    if (action == Action::Dump) bench.m_sim.Board().Poke(kStart, file.flash);
    sim::SimFaults noisy;
    noisy.noiseRate = rate;
    noisy.noiseSeed = seed;
    bench.m_sim.Board().SetFaults(noisy);
    const std::string out = bench.m_dir.File("flash.bin");
    std::vector<std::string> args = {"-f", program, "-b", "115200", "--retries", "3", "-y"};
    switch (action) {
        case Action::Epr: args.push_back("epr"); break;
        case Action::Bpr: args.insert(args.end(), {"bpr", "-r", "C0000-C0FFF"}); break;
        case Action::Dump: args.insert(args.end(), {"dump", "-r", "C0000-C0FFF", "-o", out}); break;
    }
    const int status = bench.Run(args);

    ++tally.runs;
    const sim::SimNoise flips = bench.m_sim.Board().NoiseFlips();
    tally.flips += flips.toBoard + flips.toHost;
    for (size_t at = bench.m_err.find("retry "); at != std::string::npos; at = bench.m_err.find("retry ", at + 1))
        ++tally.retries;
    const bool written = std::filesystem::exists(out);
    const std::vector<uint8_t> flash = bench.m_sim.Board().Peek(kStart, kLength);
    // A dump that ended well writes its file even when the run fails later
    // (the close step on a noisy line); one that failed writes none.
    const bool saved = bench.m_err.find("saved to " + out) != std::string::npos;
    if (written && !saved) {
        ++tally.leftFile;
        ADD_FAILURE() << "seed " << seed << ": a dump that failed left " << out;
    }
    const bool right = action == Action::Dump ? !written || ReadAll(out) == flash : flash == file.flash;
    if (status != 0) {
        ++tally.told;
        EXPECT_FALSE(bench.m_out.empty() && bench.m_err.find("no answer from") == std::string::npos)
            << "seed " << seed << ": failed without a word\n"
            << bench.m_err;
        if (action == Action::Dump) {
            EXPECT_TRUE(right) << "seed " << seed << ": a file that differs from the flash";
        }
        return;
    }
    if (right && (action != Action::Dump || written)) {
        ++tally.finished;
        return;
    }
    ++tally.silent;
    ADD_FAILURE() << "seed " << seed << ": exit status 0 over " << (action == Action::Dump ? "a file" : "a flash")
                  << " that differs\n"
                  << bench.m_out << bench.m_err;
}

TEST(NoisyLineRetries, NothingSilentAndMostRunsFinish) {
    const GappedFile file = MakeGappedFile();
    const struct {
        const char* name;
        Action action;
        double rate;
        unsigned finishedAtLeast;  // of kRuns
    } cells[] = {
        {"E.P.R.", Action::Epr, 1.5e-4, kRuns * 9 / 10}, {"E.P.R.", Action::Epr, 6e-4, kRuns / 4},
        {"B.P.R.", Action::Bpr, 1.5e-4, kRuns / 2},      {"B.P.R.", Action::Bpr, 6e-4, 1},
        {"dump", Action::Dump, 1.5e-4, kRuns * 9 / 10},  {"dump", Action::Dump, 6e-4, kRuns * 3 / 4},
    };
    for (const auto& cell : cells) {
        SCOPED_TRACE(std::string(cell.name) + " at " + std::to_string(cell.rate));
        Tally tally;
        for (unsigned run = 0; run < kRuns; ++run) SoakRun(cell.action, file, cell.rate, 5000 + run, tally);
        std::printf("%-6s --retries 3, %.1e bit errors per character: %u runs, %llu characters changed; "
                    "%u finished, %u told, %u silent; %u retries\n",
                    cell.name, cell.rate, tally.runs, static_cast<unsigned long long>(tally.flips), tally.finished,
                    tally.told, tally.silent, tally.retries);
        EXPECT_EQ(tally.silent, 0u);
        EXPECT_EQ(tally.leftFile, 0u);
        EXPECT_GE(tally.finished, cell.finishedAtLeast);
        // The cell means something only if the noise made the retries work.
        EXPECT_GT(tally.retries, 0u);
    }
}

}  // namespace
}  // namespace pelican::test
