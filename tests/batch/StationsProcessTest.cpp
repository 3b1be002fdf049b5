// A line of stations as real processes: three copies of the executable at
// once, each on its built-in board, appending to one log and taking serial
// numbers from one counter file. The locks that keep them apart are those
// of the operating system between processes, which no run in one process
// can show (on a database: LineProcessTest.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>

#include "support/ChildProcess.h"
#include "support/IdFileText.h"
#include "support/SRecordText.h"
#include "support/StrictJson.h"
#include "support/TempDir.h"

namespace pelican::test {
namespace {

TEST(Stations, SharingOneLogAndOneCounterGiveEveryNumberOnce) {
    CTempDir dir;
    dir.Write("prog.mot", "S2060C00001122BA\nS9030000FC\n");
    dir.Write("prog.id", kIdFile);
    dir.Write("counter", "500\n");
    constexpr int kStations = 3;
    std::vector<std::unique_ptr<CChildProgram>> stations;
    for (int i = 0; i < kStations; ++i)
        stations.push_back(std::make_unique<CChildProgram>(
            std::vector<std::string>{PELICAN_EXE, "--simulate", "-f", dir.File("prog.mot"), "-y", "--log",
                                     dir.File("line.jsonl"), "--serial-number", "C0100:le32:" + dir.File("counter"),
                                     "program"},
            dir, "station" + std::to_string(i)));
    for (auto& station : stations) {
        const ProgramResult result = station->Finish();
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, "information: Program OK.\n");
    }
    EXPECT_EQ(dir.Read("counter"), "503\n");
    std::istringstream in(dir.Read("line.jsonl"));
    std::set<std::string> numbers;
    std::set<std::string> taken;
    std::set<std::string> ports;
    int records = 0;
    for (std::string line; std::getline(in, line);) {
        nlohmann::json record;
        std::string error;
        ASSERT_TRUE(ParseJson(line, record, error)) << error;
        // Each number's trace, written as it was taken.
        if (record.contains("taken")) {
            taken.insert(Show(record["taken"]["value"]));
            continue;
        }
        ++records;
        EXPECT_EQ(record["exit"], 0) << line;
        EXPECT_EQ(record["outcome"], "ok") << line;
        EXPECT_EQ(record["sha256"], "c27261a1d6bea50e4fa5a23acc5d43bae6cafa610fcffe38a0f02ea9a18904a2");
        numbers.insert(Show(record["serial"]["value"]));
        ports.insert(Show(record["port"]));
    }
    EXPECT_EQ(records, kStations);
    EXPECT_EQ(numbers, (std::set<std::string>{"500", "501", "502"}));
    EXPECT_EQ(taken, numbers);
    EXPECT_EQ(ports.size(), static_cast<size_t>(kStations));
}

}  // namespace
}  // namespace pelican::test
