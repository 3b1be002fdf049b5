// A line of stations on one database as real processes: copies of the
// executable at once, each with boards of its own, taking numbers from one
// SQLite file or one PostgreSQL server. What keeps them apart is the
// database's locking between processes (and between PCs), which no run in
// one process can show; a station killed outright is one too. The
// PostgreSQL cases run under tests/batch/PostgresqlServer.sh, which starts a
// throwaway server and names it in PELICAN_TEST_POSTGRESQL.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "support/ChildProcess.h"
#include "support/IdFileText.h"
#include "support/SRecordText.h"
#include "support/ServerRows.h"
#include "support/SqliteRows.h"
#include "support/TempDir.h"

namespace pelican::test {
namespace {

// The line's folder (program files, the stations' output) and its database:
// a SQLite file there, or the server's database, emptied first.
struct Line {
    CTempDir dir;
    std::string server;  // postgresql://...; empty: SQLite
    explicit Line(bool postgresql) {
        dir.Write("prog.mot", "S2060C00001122BA\nS9030000FC\n");
        dir.Write("prog.id", kIdFile);
        if (!postgresql) return;
        const char* url = std::getenv("PELICAN_TEST_POSTGRESQL");
        server = url != nullptr ? url : "";
        if (!server.empty()) ServerRows(server, "DROP TABLE IF EXISTS pelican_board, pelican_counter, pelican_schema CASCADE");
    }
    std::string Store() const { return server.empty() ? "sqlite:" + dir.File("line.db") : server; }
    std::vector<std::string> Query(const std::string& sql) const {
        return server.empty() ? SqliteRows(dir.File("line.db"), sql) : ServerRows(server, sql);
    }
    // A station numbering its boards from the counter "widget", then args.
    std::unique_ptr<CChildProgram> Station(const std::string& tag, const std::vector<std::string>& args) const {
        std::vector<std::string> all = {PELICAN_EXE, "-y", "--store", Store(), "--serial-number", "C0100:le32:widget"};
        all.insert(all.end(), args.begin(), args.end());
        return std::make_unique<CChildProgram>(all, dir, tag);
    }
};

// Three stations at once, each a process driving three boards of its own
// (pelican-sim on its terminal) side by side, each board's flash read back
// into a file named after its port and number: nine numbers, each once,
// each in the flash of the board its file names and in its whole row.
void NineBoards(const Line& line) {
    constexpr int kStations = 3;
    constexpr int kBoards = 3;
    std::vector<std::unique_ptr<CSimProcess>> boards;
    std::vector<std::unique_ptr<CChildProgram>> stations;
    for (int i = 0; i < kStations; ++i) {
        std::vector<std::string> args = {"-f", line.dir.File("prog.mot"), "-o", line.dir.File("flash.mot"),
                                         "-r", "C0100-C01FF"};
        for (int board = 0; board < kBoards; ++board) {
            boards.push_back(std::make_unique<CSimProcess>(PELICAN_SIM_EXE, std::vector<std::string>{}));
            ASSERT_FALSE(boards.back()->Path().empty());
            args.insert(args.end(), {"-p", boards.back()->Path()});
        }
        args.insert(args.end(), {"program", "dump"});
        stations.push_back(line.Station("station" + std::to_string(i), args));
    }
    for (auto& station : stations) {
        const ProgramResult result = station->Finish();
        EXPECT_EQ(result.status, 0) << result.err;
    }
    const std::vector<std::string> rows =
        line.Query("SELECT serial_value, serial_bytes, state, outcome, exit_status FROM pelican_board");
    std::set<std::string> expected;
    std::set<std::string> ports;
    for (uint8_t number = 1; number <= kStations * kBoards; ++number) {
        expected.insert(std::to_string(number) + "|0" + std::to_string(number) + "000000|done|ok|0");
        // The dump's first record: the number, then erased flash.
        std::vector<uint8_t> bytes(32, 0xFF);
        bytes[0] = number;
        bytes[1] = bytes[2] = bytes[3] = 0;
        const std::string record = S2Record(0x0C0100, bytes.data(), bytes.size());
        for (const auto& board : boards) {
            const std::string pts = board->Path().substr(board->Path().rfind('/') + 1);
            const std::string file = "flash-" + pts + "-" + std::to_string(number) + ".mot";
            if (!std::filesystem::exists(line.dir.File(file))) continue;
            EXPECT_NE(line.dir.Read(file).find(record), std::string::npos) << file;
            ports.insert(pts);
        }
    }
    EXPECT_EQ(rows.size(), static_cast<size_t>(kStations * kBoards));
    EXPECT_EQ(std::set<std::string>(rows.begin(), rows.end()), expected);
    // Each board got one of the numbers, and read it back from its flash.
    EXPECT_EQ(ports.size(), static_cast<size_t>(kStations * kBoards));
}

// A station killed (SIGKILL: its PC losing power) after its number was
// taken, while its board is programmed, two others started beside it: its
// number stays with its row, 'in work'; the others finish theirs with the
// next numbers, none handed out twice.
void KilledStation(const Line& line) {
    // Three pages two seconds apart: the kill comes between them.
    const uint8_t page[] = {0x11, 0x22};
    line.dir.Write("slow.mot", S2Record(0x0C0000, page, 2) + S2Record(0x0C0180, page, 2) +
                                   S2Record(0x0C0200, page, 2) + "S9030000FC\n");
    line.dir.Write("slow.id", kIdFile);
    auto killed = line.Station("killed", {"--simulate", "-f", line.dir.File("slow.mot"), "-i", "2000", "program"});
    ASSERT_TRUE(WaitFor([&killed] {
        return killed->ErrSoFar().find("serial number 1 at 0C0100-0C0103 (le32: 01 00 00 00)\n") != std::string::npos;
    })) << killed->ErrSoFar();
    std::vector<std::unique_ptr<CChildProgram>> others;
    for (const char* tag : {"other0", "other1"})
        others.push_back(line.Station(tag, {"--simulate", "-f", line.dir.File("prog.mot"), "program"}));
    killed->Signal(SIGKILL);
    EXPECT_EQ(killed->Finish().status, -1);
    for (auto& other : others) {
        const ProgramResult result = other->Finish();
        EXPECT_EQ(result.status, 0) << result.err;
    }
    EXPECT_EQ(line.Query("SELECT serial_value, serial_bytes, state, outcome, exit_status FROM pelican_board"
                         " ORDER BY serial_value"),
              (std::vector<std::string>{"1|01000000|in work|NULL|NULL", "2|02000000|done|ok|0",
                                        "3|03000000|done|ok|0"}));
    EXPECT_EQ(line.Query("SELECT name, next_value FROM pelican_counter"), (std::vector<std::string>{"widget|4"}));
}

TEST(LineStations, NineBoardsOnOneDatabaseFile) {
    NineBoards(Line(false));
}

TEST(LineStations, AStationKilledMidRunLeavesItsNumberWithItsRow) {
    KilledStation(Line(false));
}

TEST(LineStationsPostgresql, NineBoardsOnOneServer) {
    const Line line(true);
    if (line.server.empty()) GTEST_SKIP() << "PELICAN_TEST_POSTGRESQL names no server";
    NineBoards(line);
}

TEST(LineStationsPostgresql, AStationKilledMidRunLeavesItsNumberWithItsRow) {
    const Line line(true);
    if (line.server.empty()) GTEST_SKIP() << "PELICAN_TEST_POSTGRESQL names no server";
    KilledStation(line);
}

}  // namespace
}  // namespace pelican::test
