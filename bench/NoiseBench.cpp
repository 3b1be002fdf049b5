// Batch runs with --retries on a noisy line at line speed: the simulated
// board on a pseudo-terminal, flipping a data bit in a character now and then
// either way, the program's own batch mode on the real clock and the termios
// back end, RESET pressed whenever "Push RESET." is shown (as a person, or
// --reset by wire, would), or with --no-reset never (nothing wired to reset
// the board, nobody at a terminal). E.P.R. and B.P.R. of a 16-page file with
// gaps at 1.5e-4, and a dump of the same 16 pages at 6e-4, each run on a
// fresh board with its own seed. It prints, per action, how many runs
// finished (exit status 0, the flash or the file right), how many told a
// failure, and how many were silent (exit status 0 over a flash or a file
// that differs, a page written outside the file's range, or a file left by
// a dump that failed). Runs go side by side in child processes (-j). Exit
// status 1 when fewer than 95 % of the E.P.R. runs or 55 % of the B.P.R.
// runs finished (RESET pressed), or any run was silent.
//
//   pelican-bench-noise [--runs N] [--jobs J] [--seed S] [--no-reset] [epr|bpr|dump]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/PelicanApp.h"
#include "cli/CommandLine.h"
#include "station/BatchRunner.h"
#include "lifecycle/SafePointClock.h"
#include "lifecycle/SafePointDevice.h"
#include "link/posix/PosixSerialDevice.h"
#include "sim/BootLoader.h"
#include "sim/PtyBoard.h"
#include "support/GappedImage.h"
#include "sys/Clock.h"

namespace pelican::bench {
namespace {

using test::GappedFile;

constexpr uint32_t kFlashStart = 0x0C0000;
constexpr size_t kFlashSize = 0x40000;
constexpr double kFinishTarget = 0.95;
constexpr double kBprFinishTarget = 0.55;

struct Run {
    std::string action;
    uint64_t seed = 0;
    int status = 0;
    bool finished = false;
    bool silent = false;
    bool outside = false;  // E.P.R.: the flash differs outside the file's range
    unsigned retries = 0;
    double seconds = 0;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

unsigned CountLines(const std::string& text, const std::string& start) {
    unsigned count = 0;
    for (size_t at = text.find(start); at != std::string::npos; at = text.find(start, at + 1))
        count += at == 0 || text[at - 1] == '\n' ? 1 : 0;
    return count;
}

// One run in this process: a fresh board on its own terminal, batch mode
// as the executable puts it together.
Run OneRun(const std::string& action, double rate, uint64_t seed, bool pressReset, const std::filesystem::path& dir) {
    Run run{action, seed};
    const GappedFile file = test::MakeGappedFile();
    const std::string image = (dir / "prog.mot").string();
    std::ofstream(image) << file.records << "S804000000FB\n";
    std::ofstream(dir / "prog.id") << "FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n";
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);

    sim::BoardConfig config;
    config.keepLog = false;
    config.faults.noiseRate = rate;
    config.faults.noiseSeed = seed;
    sim::CBootLoader board(config);
    // A dump reads a flash that holds the file.
    if (action == "dump") board.Poke(GappedFile::kStart, file.flash);
    const std::vector<uint8_t> before = board.Peek(kFlashStart, kFlashSize);
    sim::CPtyBoard pty(board);
    std::string error;
    if (!pty.Start(&error)) {
        std::fprintf(stderr, "pelican-bench-noise: %s\n", error.c_str());
        run.status = -1;
        return run;
    }
    const std::string out = (dir / "flash.bin").string();
    std::vector<std::string> args = {"pelican", "-p",      pty.Path(), "-f", image, "-b", "115200",
                                     "--retries", "3", "-y"};
    if (action == "epr" || action == "bpr") args.push_back(action);
    if (action == "dump") args.insert(args.end(), {"dump", "-r", "C0000-C0FFF", "-o", out});
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    BatchOptions options;
    int exitCode = 0;
    if (ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options, exitCode) != CommandLine::Batch) {
        run.status = -1;
        return run;
    }
    std::string told;
    const auto began = std::chrono::steady_clock::now();
    {
        std::function<void()> waitPoint;
        CSafePointClock clock(RealClock(), waitPoint);
        CPelicanApp app(std::make_unique<CSafePointDevice>(std::make_unique<CPosixSerialDevice>(), clock, waitPoint),
                        clock);
        CBatchRunner runner(app, options);
        waitPoint = [&runner] { runner.InWait(); };
        runner.m_printer.m_print = [&told](const std::string& line) { told += line + "\n"; };
        runner.m_printer.m_report = [&told](const std::string& line) { told += line + "\n"; };
        runner.m_questions.m_interactive = false;
        runner.m_printer.m_showProgress = false;
        // The user presses RESET when told to.
        if (pressReset) runner.m_boardReset.m_onPress = [&pty] { pty.Reset(); };
        run.status = runner.Run();
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    pty.Stop();
    run.retries = CountLines(told, "retry ");

    const std::vector<uint8_t> flash = board.Peek(kFlashStart, kFlashSize);
    const std::vector<uint8_t> range(flash.begin(), flash.begin() + GappedFile::kLength);
    if (action == "epr" || action == "bpr") {
        // Everything past the range erased, as E.P.R. leaves it and as
        // B.P.R. found it (but the board's ID locations).
        std::vector<uint8_t> past(flash.begin() + GappedFile::kLength, flash.end());
        const std::vector<uint8_t> pastBefore(before.begin() + GappedFile::kLength, before.end());
        run.outside = run.status == 0 && (action == "epr" ? std::any_of(past.begin(), past.end(),
                                                                        [](uint8_t byte) { return byte != 0xFF; })
                                                          : past != pastBefore);
        run.finished = run.status == 0 && range == file.flash && !run.outside;
        run.silent = run.status == 0 && (range != file.flash || run.outside);
    } else {
        const bool written = std::filesystem::exists(out);
        const bool saved = told.find("saved to " + out) != std::string::npos;
        const bool right = written && ReadAll(out) == range;
        run.finished = run.status == 0 && right;
        // A file that differs from the flash, or one left by a dump that failed.
        run.silent = (run.status == 0 && !right) || (written && (!saved || !right));
        run.outside = flash != before;
    }
    if (run.silent) std::fprintf(stderr, "pelican-bench-noise: %s seed %llu silent:\n%s", action.c_str(),
                                 static_cast<unsigned long long>(seed), told.c_str());
    return run;
}

std::string Encode(const Run& run) {
    char line[160];
    std::snprintf(line, sizeof line, "%s %llu %d %d %d %d %u %.3f\n", run.action.c_str(),
                  static_cast<unsigned long long>(run.seed), run.status, run.finished ? 1 : 0, run.silent ? 1 : 0,
                  run.outside ? 1 : 0, run.retries, run.seconds);
    return line;
}

bool Decode(const std::string& text, Run& run) {
    char action[16];
    unsigned long long seed = 0;
    int finished = 0, silent = 0, outside = 0;
    if (std::sscanf(text.c_str(), "%15s %llu %d %d %d %d %u %lf", action, &seed, &run.status, &finished, &silent,
                    &outside, &run.retries, &run.seconds) != 8)
        return false;
    run.action = action;
    run.seed = seed;
    run.finished = finished != 0;
    run.silent = silent != 0;
    run.outside = outside != 0;
    return true;
}

struct Child {
    pid_t pid;
    int output;
};

// Starts one run in a child process; its result comes back as one line.
Child Start(const std::string& action, double rate, uint64_t seed, bool pressReset) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {-1, -1};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        char pattern[] = "/tmp/pelican-bench-noise-XXXXXX";
        std::string line = "error\n";
        if (::mkdtemp(pattern) != nullptr) {
            const Run run = OneRun(action, rate, seed, pressReset, pattern);
            line = Encode(run);
            std::filesystem::remove_all(pattern);
        }
        const ssize_t written = ::write(pipeFds[1], line.data(), line.size());
        ::_exit(written == static_cast<ssize_t>(line.size()) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    return {pid, pipeFds[0]};
}

Run Finish(const Child& child) {
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(child.output, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    ::close(child.output);
    ::waitpid(child.pid, nullptr, 0);
    Run run;
    if (!Decode(text, run)) run.status = -1;
    return run;
}

}  // namespace
}  // namespace pelican::bench

int main(int argc, char** argv) {
    using namespace pelican::bench;
    unsigned runs = 120;
    unsigned jobs = 4;
    uint64_t firstSeed = 1;
    std::vector<std::string> actions;
    bool pressReset = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--runs" || arg == "--jobs" || arg == "--seed") && i + 1 < argc) {
            const unsigned long long value = std::strtoull(argv[++i], nullptr, 10);
            if (arg == "--runs") runs = static_cast<unsigned>(value);
            if (arg == "--jobs") jobs = static_cast<unsigned>(value);
            if (arg == "--seed") firstSeed = value;
        } else if (arg == "--no-reset") {
            pressReset = false;
        } else if (arg == "epr" || arg == "bpr" || arg == "dump") {
            actions.push_back(arg);
        } else {
            std::fprintf(stderr, "usage: pelican-bench-noise [--runs N] [--jobs J] [--seed S] [--no-reset] [epr|bpr|dump]\n");
            return 2;
        }
    }
    if (actions.empty()) actions = {"epr", "bpr", "dump"};
    if (runs == 0 || jobs == 0) return 2;
    const std::map<std::string, double> rates = {{"epr", 1.5e-4}, {"bpr", 1.5e-4}, {"dump", 6e-4}};

    bool pass = true;
    std::printf("Batch runs with --retries 3 at 115200 bps on a noisy line: simulated board on a pseudo-terminal, "
                "real clock, %s\n",
                pressReset ? "RESET pressed when told" : "nothing resets the board");
    std::printf("%-6s  %8s  %5s  %8s  %5s  %6s  %7s  %7s  %9s  %s\n", "action", "noise", "runs", "finished", "told",
                "silent", "retries", "outside", "s per run", "result");
    for (const std::string& action : actions) {
        const double rate = rates.at(action);
        std::vector<Run> done;
        std::vector<Child> running;
        for (unsigned next = 0; next < runs || !running.empty();) {
            while (next < runs && running.size() < jobs) running.push_back(Start(action, rate, firstSeed + next++, pressReset));
            done.push_back(Finish(running.front()));
            running.erase(running.begin());
        }
        unsigned finished = 0, told = 0, silent = 0, retries = 0, outside = 0, broken = 0;
        double seconds = 0;
        for (const Run& run : done) {
            if (run.status < 0) {
                ++broken;
                continue;
            }
            finished += run.finished ? 1 : 0;
            silent += run.silent ? 1 : 0;
            told += run.status != 0 ? 1 : 0;
            outside += run.outside ? 1 : 0;
            retries += run.retries;
            seconds += run.seconds;
        }
        const double target = !pressReset ? 0 : action == "epr" ? kFinishTarget : action == "bpr" ? kBprFinishTarget : 0;
        const bool ok = broken == 0 && silent == 0 && finished >= target * static_cast<double>(runs);
        pass = pass && ok;
        std::printf("%-6s  %8.1e  %5u  %8u  %5u  %6u  %7u  %7u  %9.1f  %s\n", action.c_str(), rate, runs, finished,
                    told, silent, retries, outside, done.empty() ? 0.0 : seconds / static_cast<double>(done.size()),
                    ok ? "ok" : broken != 0 ? "FAILED (a run could not be made)" : "MISSED");
    }
    std::printf("Targets: with RESET pressed, E.P.R. finishes in at least %.0f %% of its runs and B.P.R. in %.0f %%; "
                "no run silent (exit status 0 over a flash or file that differs, a page written outside the file's "
                "range, or a file left by a dump that failed)\n",
                kFinishTarget * 100, kBprFinishTarget * 100);
    std::printf("outside: E.P.R. and B.P.R. runs that ended well with bytes programmed past the file's range; dumps "
                "whose flash changed\n");
    return pass ? 0 : 1;
}
