// --report against a line's database that real runs of the simulated board
// filled: the questions a line asks and their answers, word for word, as a
// person reads them and as one JSON object per line.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

#include "station/StoreReport.h"
#include "support/BatchBench.h"
#include "support/ProgramFiles.h"
#include "support/ServerRows.h"

namespace pelican::test {
namespace {

constexpr const char* kSha256 = "c27261a1d6bea50e4fa5a23acc5d43bae6cafa610fcffe38a0f02ea9a18904a2";

struct Answer {
    int exit = -1;
    std::string out;
    std::string err;
};

// The command line read as the program reads it, and the report asked of
// the database on the day given as the station's today.
Answer Ask(std::vector<std::string> args, const std::string& today) {
    args.insert(args.begin(), "pelican");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    Answer answer;
    BatchOptions options;
    if (ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options, answer.exit) != CommandLine::Report)
        return answer;
    CStoreUrl url;
    CStoreReport::Question question;
    std::string error;
    EXPECT_TRUE(CStoreUrl::Parse(options.store, url, error)) << error;
    EXPECT_TRUE(CStoreReport::Parse(options.report, question, error)) << error;
    CStoreReport report(url, options.json);
    report.m_print = [&answer](const std::string& line) { answer.out += line + "\n"; };
    report.m_report = [&answer](const std::string& line) { answer.err += line + "\n"; };
    answer.exit = report.Run(question, today);
    return answer;
}

// A program file and the line's database, a SQLite file or the server
// PELICAN_TEST_POSTGRESQL names (emptied first).
struct Line {
    CTempDir shared;
    std::string store;
    explicit Line(bool postgresql = false) {
        WriteProgramFiles(shared);
        store = "sqlite:" + shared.File("line.db");
        if (!postgresql) return;
        const char* url = std::getenv("PELICAN_TEST_POSTGRESQL");
        store = url != nullptr ? url : "";
        if (!store.empty()) ServerRows(store, "DROP TABLE IF EXISTS pelican_board, pelican_counter, pelican_schema CASCADE");
    }
    std::string File() const { return shared.File("prog.mot"); }
    // One board on host, started at start and finished at end (local time
    // with its offset, as a station records it).
    int Board(const std::string& host, const std::string& start, const std::string& end,
              std::vector<std::string> args) const {
        CBatchBench bench;
        bench.m_setup = [host, start, end](CBatchRunner& runner) {
            auto times = std::make_shared<int>(0);
            runner.m_boardRecord.m_recordTime = [times, start, end] { return (*times)++ == 0 ? start : end; };
            runner.m_boardRecord.m_recordHost = [host] { return host; };
        };
        args.insert(args.begin(), {"-y", "--store", store});
        const int status = bench.Run(args);
        EXPECT_TRUE(bench.m_err.find("link returned to 9600 bps") != std::string::npos) << bench.m_err;
        return status;
    }
    // Two days of two stations: widget 1 and 2, gadget 1, a board whose
    // read check failed, and a status read without a file.
    void Fill() const {
        const std::vector<std::string> widget = {"-f", File(), "--serial-number", "C0100:le32:widget", "epr"};
        const std::vector<std::string> gadget = {"-f", File(), "--serial-number", "C0100:le16:gadget", "epr"};
        EXPECT_EQ(Board("station-3", "2026-12-09T16:58:40+01:00", "2026-12-09T16:59:02+01:00", widget), 0);
        EXPECT_EQ(Board("station-3", "2026-12-10T08:15:00+01:00", "2026-12-10T08:15:21+01:00", widget), 0);
        EXPECT_EQ(Board("station-12", "2026-12-10T09:30:05+01:00", "2026-12-10T09:30:30+01:00", gadget), 0);
        EXPECT_EQ(Board("station-12", "2026-12-10T11:05:00+01:00", "2026-12-10T11:05:09+01:00", {"-f", File(), "read"}), 1);
        EXPECT_EQ(Board("station-3", "2026-12-10T12:00:00+01:00", "2026-12-10T12:00:01+01:00", {"status"}), 0);
    }
};

void TheQuestionsALineAsks(const Line& line) {
    line.Fill();
    const std::string file = line.File();
    const std::string in = " in " + line.store + "\n";
    const std::string boards = "serial_name  serial  result  started_at                 host        port  file\n";
    const struct {
        std::vector<std::string> question;
        std::string today;
        std::string out;
    } cases[] = {
        // Number 1 of every counter, then of one.
        {{"--report", "serial=1"}, "2026-12-10",
         boards + "widget       1       passed  2026-12-09T16:58:40+01:00  station-3   COM1  " + file + "\n" +
             "gadget       1       passed  2026-12-10T09:30:05+01:00  station-12  COM1  " + file + "\n"},
        {{"--report", "serial=gadget:0001"}, "2026-12-10",
         "serial_name  serial  result  started_at                 host        port  file\n"
         "gadget       1       passed  2026-12-10T09:30:05+01:00  station-12  COM1  " + file + "\n"},
        {{"--report", "serial=4711"}, "2026-12-10", "no board with serial 4711" + in},
        {{"--report", "serial=widget:3"}, "2026-12-10", "no board with serial widget:3" + in},
        // The file by the name the runs gave, and by its hash in capitals.
        {{"--report", "file=" + file}, "2026-12-10",
         boards + "widget       1       passed  2026-12-09T16:58:40+01:00  station-3   COM1  " + file + "\n" +
             "widget       2       passed  2026-12-10T08:15:00+01:00  station-3   COM1  " + file + "\n" +
             "gadget       1       passed  2026-12-10T09:30:05+01:00  station-12  COM1  " + file + "\n" +
             "-            -       failed  2026-12-10T11:05:00+01:00  station-12  COM1  " + file + "\n"},
        {{"--report", "file=C27261A1D6BEA50E4FA5A23ACC5D43BAE6CAFA610FCFFE38A0F02EA9A18904A2"}, "2026-12-09",
         boards + "widget       1       passed  2026-12-09T16:58:40+01:00  station-3   COM1  " + file + "\n" +
             "widget       2       passed  2026-12-10T08:15:00+01:00  station-3   COM1  " + file + "\n" +
             "gadget       1       passed  2026-12-10T09:30:05+01:00  station-12  COM1  " + file + "\n" +
             "-            -       failed  2026-12-10T11:05:00+01:00  station-12  COM1  " + file + "\n"},
        {{"--report", "file=prog.mot"}, "2026-12-10", "no board programmed with prog.mot" + in},
        // Today is the station's own date, not UTC's.
        {{"--report", "yield"}, "2026-12-10",
         "day         host        boards  passed  failed  in_work  first_started              last_finished\n"
         "2026-12-10  station-12  2       1       1       0        2026-12-10T09:30:05+01:00  2026-12-10T11:05:09+01:00\n"
         "2026-12-10  station-3   2       2       0       0        2026-12-10T08:15:00+01:00  2026-12-10T12:00:01+01:00\n"},
        {{"--report", "yield=2026-12-09"}, "2026-12-10",
         "day         host       boards  passed  failed  in_work  first_started              last_finished\n"
         "2026-12-09  station-3  1       1       0       0        2026-12-09T16:58:40+01:00  2026-12-09T16:59:02+01:00\n"},
        {{"--report", "yield"}, "2026-12-11", "no board on 2026-12-11" + in},
        // One object per line, every column of the view.
        {{"--report", "serial=widget:2", "--json"}, "2026-12-10",
         "{\"serial_name\":\"widget\",\"serial\":\"2\",\"result\":\"passed\",\"started_at\":\"2026-12-10T08:15:00+01:00\","
         "\"host\":\"station-3\",\"port\":\"COM1\",\"file\":\"" + file + "\",\"finished_at\":\"2026-12-10T08:15:21+01:00\","
         "\"adapter_serial\":null,\"file_sha256\":\"" + kSha256 + "\",\"version\":null,\"outcome\":\"ok\","
         "\"exit_status\":0,\"run_id\":\"RUN\"}\n"},
        {{"--report", "yield=2026-12-09", "--json"}, "2026-12-10",
         "{\"day\":\"2026-12-09\",\"host\":\"station-3\",\"boards\":1,\"passed\":1,\"failed\":0,\"in_work\":0,"
         "\"first_started\":\"2026-12-09T16:58:40+01:00\",\"last_finished\":\"2026-12-09T16:59:02+01:00\"}\n"},
        {{"--report", "serial=4711", "--json"}, "2026-12-10", ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--store", line.store};
        args.insert(args.end(), c.question.begin(), c.question.end());
        Answer answer = Ask(args, c.today);
        EXPECT_EQ(answer.exit, 0) << c.question[1];
        EXPECT_EQ(answer.err, "") << c.question[1];
        // Each run's id is its own random one.
        if (const size_t at = answer.out.find("\"run_id\":\""); at != std::string::npos)
            answer.out.replace(at + 10, 32, "RUN");
        EXPECT_EQ(answer.out, c.out) << c.question[1];
    }
}

TEST(BatchReport, TheQuestionsALineAsksOfItsDatabase) {
    TheQuestionsALineAsks(Line());
}

// The same views made the server's way (CREATE OR REPLACE), the same answers.
TEST(BatchReportPostgresql, TheQuestionsALineAsksOfItsDatabase) {
    const Line line(true);
    if (line.store.empty()) GTEST_SKIP() << "PELICAN_TEST_POSTGRESQL names no server";
    TheQuestionsALineAsks(line);
    // Asked again, the views already there are made again.
    EXPECT_EQ(Ask({"--store", line.store, "--report", "serial=gadget:1"}, "2026-12-10").exit, 0);
}

// Tables made before the views were, with a board whose station was killed
// after its number was taken (its row still 'in work'): the report gives
// the database its views and counts that board as in work.
TEST(BatchReport, AnEarlierDatabaseGetsItsViews) {
    Line line;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(line.shared.File("line.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "CREATE TABLE pelican_schema (version INTEGER NOT NULL);"
                           "INSERT INTO pelican_schema VALUES (1);"
                           "CREATE TABLE pelican_counter (name TEXT PRIMARY KEY, next_value BIGINT NOT NULL);"
                           "CREATE TABLE pelican_board (id INTEGER PRIMARY KEY AUTOINCREMENT, run_id TEXT NOT NULL"
                           " UNIQUE, serial_name TEXT, serial_value BIGINT, serial_address TEXT, serial_format TEXT,"
                           " serial_bytes TEXT, state TEXT NOT NULL, started_at TEXT NOT NULL, finished_at TEXT,"
                           " host TEXT NOT NULL, port TEXT NOT NULL, adapter_serial TEXT, file TEXT, file_sha256"
                           " TEXT, ranges TEXT, actions TEXT, version TEXT, status TEXT, outcome TEXT, exit_status"
                           " INTEGER, UNIQUE (serial_name, serial_value));"
                           "INSERT INTO pelican_board (run_id, serial_name, serial_value, state, started_at, host,"
                           " port) VALUES ('4f1c', 'widget', 7, 'in work', '2026-12-10T07:59:58-05:00', 'bay-1',"
                           " '/dev/ttyUSB0')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const Answer yield = Ask({"--store", line.store, "--report", "yield"}, "2026-12-10");
    EXPECT_EQ(yield.exit, 0) << yield.err;
    EXPECT_EQ(yield.out,
              "day         host   boards  passed  failed  in_work  first_started              last_finished\n"
              "2026-12-10  bay-1  1       0       0       1        2026-12-10T07:59:58-05:00  2026-12-10T07:59:58-05:00\n");
    const Answer serial = Ask({"--store", line.store, "--report", "serial=7"}, "2026-12-10");
    EXPECT_EQ(serial.out,
              "serial_name  serial  result   started_at                 host   port          file\n"
              "widget       7       in work  2026-12-10T07:59:58-05:00  bay-1  /dev/ttyUSB0  -\n");
}

// A report only reads: a database file that is not there is not made.
TEST(BatchReport, ADatabaseThatIsNotThereIsNotMade) {
    Line line;
    const std::string db = line.shared.File("typo.db");
    const Answer answer = Ask({"--store", "sqlite:" + db, "--report", "serial=4711"}, "2026-12-10");
    EXPECT_EQ(answer.exit, 7);
    EXPECT_EQ(answer.out, "");
    EXPECT_EQ(answer.err, "the database sqlite:" + db + " cannot be reached: HY000: [SQLite]connect failed\n");
    EXPECT_FALSE(std::filesystem::exists(db));
}

}  // namespace
}  // namespace pelican::test
