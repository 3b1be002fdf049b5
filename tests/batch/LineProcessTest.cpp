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
#include <cstdio>
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
// into a file named after its port and number; beside them a fourth
// station killed (SIGKILL: its PC losing power) after it took its number,
// while its board is programmed. Ten numbers, each once: nine in the flash
// of the board whose file names it and in a whole row, the killed
// station's with its row, 'in work'. None handed out twice, none without
// its row.
void NineBoardsBesideAKilledStation(const Line& line) {
    constexpr int kStations = 3;
    constexpr int kBoards = 3;
    // Three pages two seconds apart: the kill comes between them.
    const uint8_t page[] = {0x11, 0x22};
    line.dir.Write("slow.mot", S2Record(0x0C0000, page, 2) + S2Record(0x0C0180, page, 2) +
                                   S2Record(0x0C0200, page, 2) + "S9030000FC\n");
    line.dir.Write("slow.id", kIdFile);
    auto killed = line.Station("killed", {"--simulate", "-f", line.dir.File("slow.mot"), "-i", "2000", "program"});
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
    unsigned killedNumber = 0;
    ASSERT_TRUE(WaitFor([&killed, &killedNumber] {
        return std::sscanf(killed->ErrSoFar().c_str(), "Simulated board on %*s\npelican: port %*s\n"
                                                       "pelican: link up at 9600 bps\npelican: serial number %u",
                           &killedNumber) == 1;
    })) << killed->ErrSoFar();
    killed->Signal(SIGKILL);
    EXPECT_EQ(killed->Finish().status, -1);
    for (auto& station : stations) {
        const ProgramResult result = station->Finish();
        EXPECT_EQ(result.status, 0) << result.err;
    }
    const std::vector<std::string> rows =
        line.Query("SELECT serial_value, serial_bytes, state, outcome, exit_status FROM pelican_board");
    constexpr unsigned kNumbers = kStations * kBoards + 1;
    std::set<std::string> expected;
    std::set<std::string> ports;
    for (unsigned number = 1; number <= kNumbers; ++number) {
        char bytes[9];
        std::snprintf(bytes, sizeof bytes, "%02X000000", number);
        expected.insert(std::to_string(number) + "|" + bytes +
                        (number == killedNumber ? "|in work|NULL|NULL" : "|done|ok|0"));
        // The dump's first record: the number, then erased flash.
        std::vector<uint8_t> flash(32, 0xFF);
        flash[0] = static_cast<uint8_t>(number);
        flash[1] = flash[2] = flash[3] = 0;
        const std::string record = S2Record(0x0C0100, flash.data(), flash.size());
        for (const auto& board : boards) {
            const std::string pts = board->Path().substr(board->Path().rfind('/') + 1);
            const std::string file = "flash-" + pts + "-" + std::to_string(number) + ".mot";
            if (!std::filesystem::exists(line.dir.File(file))) continue;
            EXPECT_NE(line.dir.Read(file).find(record), std::string::npos) << file;
            ports.insert(pts);
        }
    }
    EXPECT_EQ(rows.size(), static_cast<size_t>(kNumbers));
    EXPECT_EQ(std::set<std::string>(rows.begin(), rows.end()), expected);
    // Each of the nine boards got one of the numbers, and read it back from its flash.
    EXPECT_EQ(ports.size(), static_cast<size_t>(kStations * kBoards));
    EXPECT_EQ(line.Query("SELECT name, next_value FROM pelican_counter"),
              (std::vector<std::string>{"widget|" + std::to_string(kNumbers + 1)}));
}

TEST(LineStations, NineBoardsBesideAKilledStationOnOneDatabaseFile) {
    NineBoardsBesideAKilledStation(Line(false));
}

TEST(LineStationsPostgresql, NineBoardsBesideAKilledStationOnOneServer) {
    const Line line(true);
    if (line.server.empty()) GTEST_SKIP() << "PELICAN_TEST_POSTGRESQL names no server";
    NineBoardsBesideAKilledStation(line);
}

}  // namespace
}  // namespace pelican::test
