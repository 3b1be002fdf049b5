// Which installed ODBC driver a --store database is reached through, as
// Debian and Windows name them, and what a station says when none is there;
// then whole runs through a driver manager that knows only the drivers a
// test's own odbcinst.ini names, and against a server that never answers.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "store/OdbcDriver.h"
#include "support/BatchBench.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

using Kind = CStoreUrl::Kind;
using Names = std::vector<std::string>;

TEST(OdbcDriver, TheDriverChosenFromTheInstalledOnes) {
    const Names debian = {"PostgreSQL ANSI", "PostgreSQL Unicode", "SQLite", "SQLite3"};
    const Names windows = {"SQL Server", "PostgreSQL ANSI(x64)", "PostgreSQL Unicode(x64)", "SQLite ODBC Driver",
                           "SQLite3 ODBC Driver", "SQLite4 ODBC Driver"};
    const struct {
        Kind kind;
        Names installed;
        const char* chosen;  // empty: none
    } cases[] = {
        {Kind::Postgresql, debian, "PostgreSQL Unicode"},
        {Kind::Sqlite, debian, "SQLite3"},
        {Kind::Postgresql, windows, "PostgreSQL Unicode(x64)"},
        {Kind::Sqlite, windows, "SQLite3 ODBC Driver"},
        // psqlODBC's 32-bit names, as a 64-bit Windows lists them beside
        // its own.
        {Kind::Postgresql, {"PostgreSQL ANSI", "PostgreSQL Unicode", "PostgreSQL Unicode(x64)"}, "PostgreSQL Unicode"},
        {Kind::Postgresql, {"SQLite3", "PostgreSQL ANSI(x64)"}, "PostgreSQL ANSI(x64)"},
        {Kind::Postgresql, {"postgresql unicode"}, "postgresql unicode"},
        // A distribution that registers the driver under one plain name.
        {Kind::Postgresql, {"PostgreSQL"}, "PostgreSQL"},
        {Kind::Sqlite, {"SQLite", "SQLite ODBC Driver"}, ""},
        {Kind::Sqlite, {"PostgreSQL Unicode"}, ""},
        {Kind::Postgresql, {"SQLite3", "SQL Server"}, ""},
        {Kind::Postgresql, {}, ""},
        {Kind::File, debian, ""},
    };
    for (const auto& c : cases) {
        const auto chosen = COdbcDriver::Choose(c.kind, c.installed);
        EXPECT_EQ(chosen.value_or(""), c.chosen) << ::testing::PrintToString(c.installed);
    }
}

TEST(OdbcDriver, NoneInstalledSaysWhatToInstallAndWhatIs) {
    using Platform = COdbcDriver::Platform;
    const struct {
        Kind kind;
        Names installed;
        Platform platform;
        const char* told;
    } cases[] = {
        {Kind::Postgresql, {"SQLite", "SQLite3"}, Platform::Linux,
         "no PostgreSQL ODBC driver is installed: apt-get install odbc-postgresql (installed: SQLite, SQLite3)"},
        {Kind::Sqlite, {"SQLite"}, Platform::Linux,
         "no SQLite3 ODBC driver is installed: apt-get install libsqliteodbc (installed: SQLite)"},
        {Kind::Postgresql, {}, Platform::Windows,
         "no PostgreSQL ODBC driver is installed: install psqlODBC (64-bit) (installed: none)"},
        {Kind::Sqlite, {"SQL Server", "PostgreSQL Unicode(x64)"}, Platform::Windows,
         "no SQLite3 ODBC driver is installed: install the SQLite3 ODBC driver (64-bit) (installed: SQL Server, "
         "PostgreSQL Unicode(x64)"
         ")"},
    };
    for (const auto& c : cases) EXPECT_EQ(COdbcDriver::Missing(c.kind, c.installed, c.platform), c.told);
}

// The driver manager of bench's run knows only the drivers ini names: its
// odbcinst.ini is in the folder ODBCSYSINI names.
void OnlyDrivers(CBatchBench& bench, const std::string& ini) {
    bench.m_dir.Write("odbcinst.ini", ini);
    bench.m_dir.Write("odbc.ini", "");
    bench.m_env.Set("ODBCSYSINI", bench.m_dir.Path());
}

TEST(OdbcDriverRun, TheSqlite3DriverUnderItsWindowsNameNumbersTheBoard) {
    CBatchBench bench;
    const CTempDir& dir = bench.m_dir;
    OnlyDrivers(bench,
                "[SQLite ODBC Driver]\nDriver=libsqliteodbc.so\n[SQLite3 ODBC Driver]\nDriver=libsqlite3odbc.so\n");
    EXPECT_EQ(bench.Run(WithFile(bench, {"-y", "--store", "sqlite:" + dir.File("line.db"), "--serial-number",
                                         "C0100:le32:widget", "epr"})),
              0)
        << bench.m_err;
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0100, 5), (std::vector<uint8_t>{0x01, 0x00, 0x00, 0x00, 0xFF}));
}

TEST(OdbcDriverRun, NoSqlite3DriverLeavesTheBoardUntouchedAndSaysWhatToInstall) {
    CBatchBench bench;
    const CTempDir& dir = bench.m_dir;
    OnlyDrivers(bench, "[SQLite]\nDriver=libsqliteodbc.so\n[PostgreSQL Unicode]\nDriver=psqlodbcw.so\n");
    const std::string db = dir.File("line.db");
    EXPECT_EQ(bench.Run(WithFile(bench, {"-y", "--store", "sqlite:" + db, "--serial-number", "C0100:le32:widget",
                                         "epr"})),
              7);
    EXPECT_EQ(bench.m_err, "the database sqlite:" + db +
                               " cannot be reached: no SQLite3 ODBC driver is installed: apt-get install "
                               "libsqliteodbc (installed: SQLite, PostgreSQL Unicode); the board is left as it is\n");
    EXPECT_TRUE(bench.m_sim.Board().Frames().empty());
}

// A server that takes the connection and never says a word: the station
// gives up after libpq's connect timeout (10 s, in real time) with exit 7,
// the board untouched.
TEST(OdbcDriverServer, AServerThatSaysNothingEndsTheRunWithExit7) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 4), 0);  // the kernel accepts; nobody reads
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));
    const std::string url = "postgresql://line@127.0.0.1:" + port + "/pelican";
    CBatchBench bench;
    EXPECT_EQ(bench.Run(WithFile(bench, {"-y", "--store", url, "--serial-number", "C0100:le32:widget", "epr"})), 7);
    EXPECT_EQ(bench.m_err, "the database " + url + " cannot be reached: 08001: connection to server at " +
                               "\"127.0.0.1\", port " + port + " failed: timeout expired; the board is left as it is\n");
    EXPECT_TRUE(bench.m_sim.Board().Frames().empty());
    close(listener);
}

}  // namespace
}  // namespace pelican::test
