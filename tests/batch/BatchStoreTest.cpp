// The line's database (--store) in whole runs against the simulated board:
// each board's number taken from the database's counter and in its flash,
// and its row read back with the database's own client (SQLite's library,
// psql), as a line's other programs would read it. The PostgreSQL cases
// run under tests/batch/PostgresqlServer.sh, which starts a throwaway
// server and names it in PELICAN_TEST_POSTGRESQL.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

#include "support/BatchBench.h"
#include "support/GangBench.h"
#include "support/ProgramFiles.h"
#include "support/ServerRows.h"
#include "support/SqliteRows.h"

namespace pelican::test {
namespace {

// A program file and a database: a SQLite file in the folder, or the
// server's database (emptied first).
struct Line {
    CTempDir shared;
    std::string server;  // postgresql://...; empty: SQLite
    explicit Line(bool postgresql = false) {
        WriteProgramFiles(shared);
        if (!postgresql) return;
        const char* url = std::getenv("PELICAN_TEST_POSTGRESQL");
        server = url != nullptr ? url : "";
        if (!server.empty()) ServerRows(server, "DROP TABLE IF EXISTS pelican_board, pelican_counter, pelican_schema CASCADE");
    }
    std::string File() const { return shared.File("prog.mot"); }
    std::string Db() const { return shared.File("line.db"); }
    std::string Store() const { return server.empty() ? "sqlite:" + Db() : server; }
    std::vector<std::string> Query(const std::string& sql) const {
        return server.empty() ? SqliteRows(Db(), sql) : ServerRows(server, sql);
    }
    int Run(CBatchBench& bench, std::vector<std::string> args) const {
        bench.m_setup = [](CBatchRunner& runner) {
            runner.m_boardRecord.m_recordTime = [] { return std::string("2026-12-09T10:42:07+01:00"); };
            runner.m_boardRecord.m_recordHost = [] { return std::string("station-3"); };
        };
        return bench.Run(args);
    }
};

// Three boards, one after another: numbers 1, 2 and 3 of the counter
// "widget", each in its board's flash and in its row.
void ThreeBoards(const Line& line) {
    const struct {
        uint8_t number;
        const char* told;
    } boards[] = {
        {1, "serial number 1 at 0C0100-0C0103 (le32: 01 00 00 00)\n"},
        {2, "serial number 2 at 0C0100-0C0103 (le32: 02 00 00 00)\n"},
        {3, "serial number 3 at 0C0100-0C0103 (le32: 03 00 00 00)\n"},
    };
    for (const auto& board : boards) {
        CBatchBench bench;
        EXPECT_EQ(line.Run(bench, {"-f", line.File(), "-y", "--store", line.Store(), "--serial-number",
                                   "C0100:le32:widget", "epr", "status", "version"}),
                  0)
            << bench.m_err;
        EXPECT_NE(bench.m_err.find(board.told), std::string::npos) << bench.m_err;
        EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0100, 5), (std::vector<uint8_t>{board.number, 0x00, 0x00, 0x00, 0xFF}));
    }
    EXPECT_EQ(line.Query("SELECT version FROM pelican_schema"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(line.Query("SELECT name, next_value FROM pelican_counter"), (std::vector<std::string>{"widget|4"}));
    EXPECT_EQ(line.Query("SELECT serial_name, serial_value, serial_address, serial_format, serial_bytes, state,"
                              " outcome, exit_status FROM pelican_board ORDER BY id"),
              (std::vector<std::string>{"widget|1|0C0100|le32|01000000|done|ok|0",
                                        "widget|2|0C0100|le32|02000000|done|ok|0",
                                        "widget|3|0C0100|le32|03000000|done|ok|0"}));
    // Each run has an id of its own.
    EXPECT_EQ(line.Query("SELECT COUNT(DISTINCT run_id), MIN(LENGTH(run_id)) FROM pelican_board"),
              (std::vector<std::string>{"3|32"}));
    // The first board's row holds what its JSON record holds.
    EXPECT_EQ(line.Query("SELECT started_at, finished_at, host, port, adapter_serial, file, file_sha256,"
                              " version, status FROM pelican_board WHERE serial_value = 1"),
              (std::vector<std::string>{"2026-12-09T10:42:07+01:00|2026-12-09T10:42:07+01:00|station-3|COM1|NULL|" +
                                        line.File() +
                                        "|c27261a1d6bea50e4fa5a23acc5d43bae6cafa610fcffe38a0f02ea9a18904a2|VER.1.00|"
                                        "[128,12]"}));
}

TEST(BatchStore, ThreeBoardsGetThreeNumbersAndThreeWholeRows) {
    Line line;
    ThreeBoards(line);
    // The page loops and actions as the JSON record has them (the actions'
    // ms left aside).
    EXPECT_EQ(SqliteRows(line.Db(), "SELECT json_array_length(ranges), json_extract(ranges, '$[1].title'),"
                              " json_extract(ranges, '$[1].pages'), json_extract(ranges, '$[1].outcome'),"
                              " json_array_length(actions), json_extract(actions, '$[0].action'),"
                              " json_extract(actions, '$[2].action'), json_extract(actions, '$[2].outcome')"
                              " FROM pelican_board WHERE serial_value = 1"),
              (std::vector<std::string>{"2|Read check.|2|done|3|epr|version|done"}));
}

TEST(BatchStorePostgresql, ThreeBoardsGetThreeNumbersAndThreeWholeRows) {
    Line line(true);
    if (line.server.empty()) GTEST_SKIP() << "PELICAN_TEST_POSTGRESQL names no server";
    ThreeBoards(line);
}

// A gang: three boards of one station at once, each from its own thread on
// a connection of its own, all taking from one counter.
TEST(BatchStore, TheBoardsOfAGangTakeTheirNumbersSideBySide) {
    Line line;
    CGangBench gang(3);
    EXPECT_EQ(gang.Run({"-f", line.File(), "-y", "--store", line.Store(), "--serial-number", "C0100:le32:widget",
                        "program"}),
              0);
    std::multiset<uint8_t> numbers;
    for (size_t i = 0; i < 3; ++i) numbers.insert(gang.Sim(i).Board().Peek(0x0C0100, 1)[0]);
    EXPECT_EQ(numbers, (std::multiset<uint8_t>{1, 2, 3}));
    EXPECT_EQ(line.Query("SELECT port, serial_value, state, exit_status FROM pelican_board ORDER BY port"),
              (std::vector<std::string>{"COM1|" + std::to_string(gang.Sim(0).Board().Peek(0x0C0100, 1)[0]) + "|done|0",
                                        "COM2|" + std::to_string(gang.Sim(1).Board().Peek(0x0C0100, 1)[0]) + "|done|0",
                                        "COM3|" + std::to_string(gang.Sim(2).Board().Peek(0x0C0100, 1)[0]) + "|done|0"}));
}

TEST(BatchStore, ABoardWithoutANumberGetsItsRowAtTheEnd) {
    Line line;
    CBatchBench bench;
    EXPECT_EQ(line.Run(bench, {"--store", "sqlite:" + line.Db(), "status"}), 0) << bench.m_err;
    EXPECT_EQ(SqliteRows(line.Db(), "SELECT serial_name, serial_value, state, file, json_extract(actions, '$[0].action'),"
                              " outcome, exit_status FROM pelican_board"),
              (std::vector<std::string>{"NULL|NULL|done|NULL|status|ok|0"}));
}

TEST(BatchStore, ADatabaseThatCannotBeReachedLeavesTheBoardUntouched) {
    Line line;
    CBatchBench bench;
    const std::string db = line.shared.File("no-such-folder/line.db");
    EXPECT_EQ(line.Run(bench, {"-f", line.File(), "-y", "--store", "sqlite:" + db, "--serial-number",
                               "C0100:le32:widget", "epr"}),
              7);
    // One line, with the driver's own reason.
    EXPECT_EQ(bench.m_err, "the database sqlite:" + db + " cannot be reached: HY000: [SQLite]connect failed; the board is left as it is\n");
    EXPECT_TRUE(bench.m_sim.Board().Frames().empty());
}

TEST(BatchStore, ACounterPastTheFormatLeavesTheBoardAndTheCounterAsTheyWere) {
    Line line;
    CBatchBench first;
    ASSERT_EQ(line.Run(first, {"--store", line.Store(), "status"}), 0) << first.m_err;
    // The line's own programs set the product's counter.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(line.Db().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "INSERT INTO pelican_counter VALUES ('widget', 65536)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    CBatchBench bench;
    EXPECT_EQ(line.Run(bench, {"-f", line.File(), "-y", "--store", line.Store(), "--serial-number", "C0100:le16:widget",
                               "epr"}),
              7);
    EXPECT_EQ(bench.m_err, "serial number 65536 does not fit le16 (0 to 65535): the counter widget in sqlite:" +
                               line.Db() + " is left as it is\n");
    EXPECT_TRUE(bench.m_sim.Board().Frames().empty());
    EXPECT_EQ(line.Query("SELECT name, next_value FROM pelican_counter"), (std::vector<std::string>{"widget|65536"}));
    // The refused run is accounted for, without a number.
    EXPECT_EQ(line.Query("SELECT serial_value, ranges, exit_status FROM pelican_board ORDER BY id"),
              (std::vector<std::string>{"NULL|[]|0", "NULL|[]|7"}));
}

TEST(BatchStore, ARecordTheDatabaseDoesNotTakeWaitsInTheSpoolAndLandsOnce) {
    Line line;
    const std::string folder = line.shared.File("db");
    const std::string store = "sqlite:" + folder + "/line.db";
    const std::string spool = line.shared.File("pelican-spool.jsonl");
    std::filesystem::create_directory(folder);
    const auto run = [&line, &store](CBatchBench& bench, std::vector<std::string> args) {
        // The station's settings folder, the same for each run.
        CScopedEnv station;
        station.Set("XDG_CONFIG_HOME", line.shared.Path());
        args.insert(args.begin(), {"-y", "--store", store});
        return line.Run(bench, args);
    };
    const std::vector<std::string> numbered = {"-f", line.File(), "--serial-number", "C0100:le32:widget", "epr"};
    // The number is taken; then, as the board is erased, the database's
    // folder goes away (a share unmounted): its file stays open, but no
    // transaction can be written any more.
    CBatchBench lost;
    auto away = std::make_shared<bool>(false);
    lost.m_sim.Board().SetFrameObserver([away, folder](const sim::SimFrame& frame) {
        if (*away || frame.bytes.at(0) != 0xA7) return;
        *away = true;
        std::filesystem::rename(folder, folder + "-away");
        std::FILE* in_its_place = std::fopen(folder.c_str(), "w");
        if (in_its_place != nullptr) std::fclose(in_its_place);
    });
    EXPECT_EQ(run(lost, numbered), 0) << lost.m_err;
    EXPECT_EQ(lost.m_err, "port COM1\nlink up at 9600 bps\nserial number 1 at 0C0100-0C0103 (le32: 01 00 00 00)\n"
                          "link returned to 9600 bps; port closed\n"
                          "the record was kept in " + spool + ": the database could not be reached (HY000: [SQLite]"
                          "attempt to write a readonly database (8)); it is sent when the database is back\n");
    EXPECT_EQ(lost.m_sim.Board().Peek(0x0C0100, 4), (std::vector<uint8_t>{1, 0, 0, 0}));
    std::filesystem::remove(folder);
    std::filesystem::rename(folder + "-away", folder);
    const auto rows = [&line, &folder] {
        return SqliteRows(folder + "/line.db", "SELECT serial_value, state, host, json_array_length(ranges),"
                                         " json_extract(actions, '$[0].action'), outcome, exit_status"
                                         " FROM pelican_board ORDER BY id");
    };
    EXPECT_EQ(rows(), (std::vector<std::string>{"1|in work|station-3|NULL|NULL|NULL|NULL"}));
    // The database is back: the next run sends the record first, then its
    // own board's number and row follow.
    CBatchBench back;
    EXPECT_EQ(run(back, numbered), 0) << back.m_err;
    EXPECT_EQ(back.m_err, "1 record kept in " + spool + " sent to " + store + "\nport COM1\nlink up at 9600 bps\n"
                          "serial number 2 at 0C0100-0C0103 (le32: 02 00 00 00)\n"
                          "link returned to 9600 bps; port closed\n");
    EXPECT_EQ(line.shared.Read("pelican-spool.jsonl"), "");
    // Sent once: a later run finds nothing left to send.
    CBatchBench later;
    EXPECT_EQ(run(later, {"status"}), 0) << later.m_err;
    EXPECT_EQ(later.m_err, "port COM1\nlink up at 9600 bps\nlink returned to 9600 bps; port closed\n");
    EXPECT_EQ(rows(), (std::vector<std::string>{"1|done|station-3|2|epr|ok|0", "2|done|station-3|2|epr|ok|0",
                                            "NULL|done|station-3|0|status|ok|0"}));
}

// The server stopped (an administrator's shutdown) as the board is erased,
// after its number was taken and before its record: the record waits in
// the station's spool, sent first and once when the server is back; a
// server started again before the record is due still gets it directly.
TEST(BatchStorePostgresql, TheServerStoppedMidRun) {
    const struct {
        const char* name;
        bool startedAgain;  // within the run, before its record
        std::string told;   // the run's last line; SPOOL stands for the spool's path
        std::string next;   // what the next run says first
    } cases[] = {
        {"stopped", false,
         // The driver's own reason, its two lines on one.
         "the record was kept in SPOOL: the database could not be reached (08S01: The connection has been lost; "
         "The connection has been lost); it is sent when the database is back\n",
         "1 record kept in SPOOL sent to STORE\n"},
        {"stopped and started again", true, "", ""},
    };
    const char* stop = std::getenv("PELICAN_TEST_POSTGRESQL_STOP");
    const char* start = std::getenv("PELICAN_TEST_POSTGRESQL_START");
    if (stop == nullptr || start == nullptr) GTEST_SKIP() << "no server to stop and start";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Line line(true);
        const std::string spool = line.shared.File("pelican-spool.jsonl");
        const auto run = [&line](CBatchBench& bench, std::vector<std::string> args) {
            // The station's settings folder, the same for each run.
            CScopedEnv station;
            station.Set("XDG_CONFIG_HOME", line.shared.Path());
            args.insert(args.begin(), {"-y", "--store", line.Store()});
            return line.Run(bench, args);
        };
        const std::vector<std::string> numbered = {"-f", line.File(), "--serial-number", "C0100:le32:widget", "epr"};
        const auto replaced = [&](std::string text) {
            for (const auto& [from, to] : {std::pair<std::string, std::string>{"SPOOL", spool}, {"STORE", line.Store()}})
                for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
            return text;
        };
        CBatchBench cut;
        auto done = std::make_shared<bool>(false);
        const bool again = c.startedAgain;
        cut.m_sim.Board().SetFrameObserver([done, stop, start, again](const sim::SimFrame& frame) {
            if (*done || frame.bytes.at(0) != 0xA7) return;
            *done = true;
            EXPECT_EQ(std::system(stop), 0);
            if (again) {
                EXPECT_EQ(std::system(start), 0);
            }
        });
        EXPECT_EQ(run(cut, numbered), 0) << cut.m_err;
        EXPECT_EQ(cut.m_err, "port COM1\nlink up at 9600 bps\nserial number 1 at 0C0100-0C0103 (le32: 01 00 00 00)\n"
                             "link returned to 9600 bps; port closed\n" +
                                 replaced(c.told));
        EXPECT_EQ(cut.m_sim.Board().Peek(0x0C0100, 4), (std::vector<uint8_t>{1, 0, 0, 0}));
        if (!again) {
            EXPECT_EQ(std::system(start), 0);
        }
        // The next run sends what was kept first, then numbers its own
        // board; the one after finds nothing left to send.
        CBatchBench next;
        EXPECT_EQ(run(next, numbered), 0) << next.m_err;
        EXPECT_EQ(next.m_err, replaced(c.next) + "port COM1\nlink up at 9600 bps\n"
                                                 "serial number 2 at 0C0100-0C0103 (le32: 02 00 00 00)\n"
                                                 "link returned to 9600 bps; port closed\n");
        CBatchBench later;
        EXPECT_EQ(run(later, {"status"}), 0) << later.m_err;
        EXPECT_EQ(later.m_err, "port COM1\nlink up at 9600 bps\nlink returned to 9600 bps; port closed\n");
        EXPECT_EQ(line.Query("SELECT serial_value, state, json_extract_path_text(actions::json, '0', 'action'),"
                             " outcome, exit_status FROM pelican_board ORDER BY id"),
                  (std::vector<std::string>{"1|done|epr|ok|0", "2|done|epr|ok|0", "NULL|done|status|ok|0"}));
    }
}

}  // namespace
}  // namespace pelican::test
