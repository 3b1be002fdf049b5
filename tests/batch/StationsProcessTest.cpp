// A line of stations as real processes: three copies of the executable at
// once, each on its built-in board, appending to one log and taking serial
// numbers from one counter file, or sharing one database file. The locks that keep them apart are those
// of the operating system between processes, which no run in one process
// can show.
#include <gtest/gtest.h>
#include <sqlite3.h>

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

TEST(Stations, SharingOneDatabaseFileGiveEveryNumberOnceWithItsRow) {
    CTempDir dir;
    dir.Write("prog.mot", "S2060C00001122BA\nS9030000FC\n");
    dir.Write("prog.id", kIdFile);
    const std::string store = "sqlite:" + dir.File("line.db");
    constexpr int kStations = 3;
    constexpr int kBoards = 3;
    // Three stations at once, each programming three boards one after
    // another; each board's flash read back into a file of its own.
    std::set<std::string> flashes;
    for (int board = 0; board < kBoards; ++board) {
        std::vector<std::unique_ptr<CChildProgram>> stations;
        for (int i = 0; i < kStations; ++i) {
            const std::string tag = "station" + std::to_string(i) + "-board" + std::to_string(board);
            stations.push_back(std::make_unique<CChildProgram>(
                std::vector<std::string>{PELICAN_EXE, "--simulate", "-f", dir.File("prog.mot"), "-y", "--store",
                                         store, "--serial-number", "C0100:le32:widget", "-o",
                                         dir.File(tag + ".mot"), "-r", "C0100-C01FF", "program", "dump"},
                dir, tag));
        }
        for (int i = 0; i < kStations; ++i) {
            const ProgramResult result = stations[i]->Finish();
            EXPECT_EQ(result.status, 0) << result.err;
            flashes.insert(dir.Read("station" + std::to_string(i) + "-board" + std::to_string(board) + ".mot"));
        }
    }
    std::set<std::string> rows;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(dir.File("line.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT serial_value, serial_bytes, state, outcome, exit_status FROM pelican_board",
                                 -1, &statement, nullptr),
              SQLITE_OK);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        std::string row;
        for (int column = 0; column < 5; ++column) {
            const auto* text = sqlite3_column_text(statement, column);
            row += (column > 0 ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        rows.insert(row);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    std::set<std::string> expected;
    std::set<bool> inFlash;
    for (uint8_t number = 1; number <= kStations * kBoards; ++number) {
        expected.insert(std::to_string(number) + "|0" + std::to_string(number) + "000000|done|ok|0");
        // The dump's first record: the number, then erased flash.
        std::vector<uint8_t> bytes(32, 0xFF);
        bytes[0] = number;
        bytes[1] = bytes[2] = bytes[3] = 0;
        const std::string record = S2Record(0x0C0100, bytes.data(), bytes.size());
        inFlash.insert(std::count_if(flashes.begin(), flashes.end(), [&record](const std::string& flash) {
                           return flash.find(record) != std::string::npos;
                       }) == 1);
    }
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(inFlash, std::set<bool>{true});
}

}  // namespace
}  // namespace pelican::test
