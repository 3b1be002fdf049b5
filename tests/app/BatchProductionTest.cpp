// The production options end to end: the pelican executable over
// pseudo-terminals against pelican-sim (and its own --simulate board), in
// real time. The flows themselves are covered in process on the virtual
// clock; these runs are the processes, their locks and the terminals.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "support/ChildProcess.h"
#include "support/StrictJson.h"
#include "support/SRecordText.h"
#include "support/SrecCat.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> Pelican(std::vector<std::string> args) {
    args.insert(args.begin(), PELICAN_EXE);
    return args;
}

const char* kIdFile = "FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n";

TEST(BatchProduction, RunsOnTwoBoardsGoSideBySideASecondOnOnePortIsRefused) {
    CTempDir dir;
    dir.Write("prog.mot", "S2060C00001122BA\nS9030000FC\n");
    dir.Write("prog.id", kIdFile);
    CSimProcess first(PELICAN_SIM_EXE, {"--erase-ms", "300", "--verbose"}, dir.File("first-board.err"));
    CSimProcess second(PELICAN_SIM_EXE, {"--erase-ms", "300"});
    ASSERT_FALSE(first.Path().empty());
    ASSERT_FALSE(second.Path().empty());
    // An erase on the first board, held there (the board stopped) until the
    // other runs are done: the erase's status wait is long enough for them
    // on any machine...
    CChildProgram erasing(Pelican({"-p", first.Path(), "-f", dir.File("prog.mot"), "-y", "erase"}), dir, "first");
    ASSERT_TRUE(WaitFor([&] { return dir.Read("first-board.err").find("A7 D0") != std::string::npos; }))
        << dir.Read("first-board.err") << erasing.ErrSoFar();
    first.Hold();
    // ...a run on its port is turned away before it sends a byte,
    const ProgramResult refused = RunProgram(Pelican({"-p", first.Path(), "status"}), dir, "third");
    // while a whole run goes through on the second board.
    const ProgramResult beside =
        RunProgram(Pelican({"-p", second.Path(), "-f", dir.File("prog.mot"), "-y", "erase", "status"}), dir, "second");
    const bool overlapped = erasing.ErrSoFar().find("port closed") == std::string::npos;
    first.LetGo();
    const ProgramResult erased = erasing.Finish();
    EXPECT_TRUE(overlapped);
    EXPECT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(beside.out.substr(0, beside.out.find("Ready:")), "information: Erase OK.\n");
    EXPECT_EQ(refused.status, 6);
    EXPECT_EQ(refused.out, "stop: Another run of this program is using " + first.Path() + ".\n");
    EXPECT_EQ(erased.status, 0) << erased.err;
    EXPECT_EQ(erased.out, "information: Erase OK.\n");
}

TEST(BatchProduction, ResetByWireOnTheBuiltInBoardAndOnAPlainTerminal) {
    CTempDir dir;
    // The built-in board's pins are reached in process.
    const ProgramResult simulated =
        RunProgram(Pelican({"--simulate", "--reset", "dtr:0,rts:1,delay:50,dtr:1", "version"}), dir);
    EXPECT_EQ(simulated.status, 0) << simulated.err;
    EXPECT_EQ(simulated.out, "Version: VER.1.00\n");
    EXPECT_NE(simulated.err.find("pelican: reset by wire: dtr:0,rts:1,delay:50,dtr:1\n"), std::string::npos)
        << simulated.err;
    // pelican-sim is another process behind a pseudo-terminal, which has no
    // modem lines: the failure is told and the run goes on.
    CSimProcess sim(PELICAN_SIM_EXE, {});
    ASSERT_FALSE(sim.Path().empty());
    const ProgramResult plain = RunProgram(Pelican({"-p", sim.Path(), "--reset", "dtr:0,delay:50,dtr:1", "version"}), dir);
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "Version: VER.1.00\n");
    EXPECT_NE(plain.err.find("pelican: reset by wire failed: DTR: Inappropriate ioctl for device\n"),
              std::string::npos)
        << plain.err;
}

TEST(BatchProduction, DumpOverTheTerminalReadsBackThroughSrecCat) {
    if (!SrecCatOrSkip()) return;
    CTempDir dir;
    const std::vector<uint8_t> data = PatternBytes(0x0C00);
    dir.Write("board.mot", SRecordText(0x0C0200, data));
    dir.Write("prog.mot", "S2060C00001122BA\nS9030000FC\n");
    dir.Write("prog.id", kIdFile);
    CSimProcess sim(PELICAN_SIM_EXE, {"--srec", dir.File("board.mot"), "--id", "01:02:03:04:05:06:07"});
    ASSERT_FALSE(sim.Path().empty());
    const ProgramResult dumped = RunProgram(Pelican({"-p", sim.Path(), "-f", dir.File("prog.mot"), "-b", "115200", "--json",
                                                     "dump", "-r", "C0000-C0FFF", "-o", dir.File("flash.srec")}),
                                            dir);
    EXPECT_EQ(dumped.status, 0) << dumped.out;
    EXPECT_NE(dumped.out.find("{\"event\":\"report\",\"port\":\"" + sim.Path() + "\",\"text\":\"0C0000-0C0FFF saved to " +
                              dir.File("flash.srec") + "\"}\n"),
              std::string::npos)
        << dumped.out;
    const std::string raw = dir.File("flash.raw");
    ASSERT_EQ(RunSrecCat(dir.File("flash.srec") + " -offset -0xC0000 -o " + raw + " -binary"), 0);
    const std::string bytes = dir.Read("flash.raw");
    ASSERT_EQ(bytes.size(), 0x1000u);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t expected = i >= 0x200 && i < 0x200 + data.size() ? data[i - 0x200] : 0xFF;
        ASSERT_EQ(static_cast<uint8_t>(bytes[i]), expected) << i;
    }
}

TEST(BatchProduction, StationsSharingOneLogAndOneCounterGiveEveryNumberOnce) {
    CTempDir dir;
    dir.Write("prog.mot", "S2060C00001122BA\nS9030000FC\n");
    dir.Write("prog.id", kIdFile);
    dir.Write("counter", "500\n");
    // Four programs at once, each on a simulated board of its own, all
    // appending to one log and taking from one counter.
    constexpr int kStations = 4;
    std::vector<std::unique_ptr<CChildProgram>> stations;
    for (int i = 0; i < kStations; ++i)
        stations.push_back(std::make_unique<CChildProgram>(
            Pelican({"--simulate", "-f", dir.File("prog.mot"), "-y", "--log", dir.File("line.jsonl"),
                     "--serial-number", "C0100:le32:" + dir.File("counter"), "program"}),
            dir, "station" + std::to_string(i)));
    for (auto& station : stations) {
        const ProgramResult result = station->Finish();
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, "information: Program OK.\n");
    }
    EXPECT_EQ(dir.Read("counter"), "504\n");
    std::istringstream in(dir.Read("line.jsonl"));
    std::set<std::string> numbers;
    std::set<std::string> taken;
    std::set<std::string> ports;
    int lines = 0;
    for (std::string line; std::getline(in, line);) {
        nlohmann::json record;
        std::string error;
        ASSERT_TRUE(ParseJson(line, record, error)) << error;
        // Each number's trace, written as it was taken.
        if (record.contains("taken")) {
            taken.insert(Show(record["taken"]["value"]));
            continue;
        }
        ++lines;
        EXPECT_EQ(record["exit"], 0) << line;
        EXPECT_EQ(record["outcome"], "ok") << line;
        EXPECT_EQ(record["sha256"], "c27261a1d6bea50e4fa5a23acc5d43bae6cafa610fcffe38a0f02ea9a18904a2");
        EXPECT_EQ(Show(record["time"]).size(), 25u) << line;
        numbers.insert(Show(record["serial"]["value"]));
        ports.insert(Show(record["port"]));
    }
    EXPECT_EQ(lines, kStations);
    EXPECT_EQ(numbers, (std::set<std::string>{"500", "501", "502", "503"}));
    EXPECT_EQ(taken, numbers);
    EXPECT_EQ(ports.size(), static_cast<size_t>(kStations));
}

}  // namespace
}  // namespace pelican::test
