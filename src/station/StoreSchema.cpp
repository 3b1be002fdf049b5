#include "station/StoreSchema.h"

namespace pelican {
namespace {

// The views' queries, the same text on both databases: substr, CAST, CASE,
// COUNT, MIN, MAX and COALESCE mean the same on each.
constexpr const char* kBoardView =
    "pelican_board_view AS SELECT id, run_id, serial_name, CAST(serial_value AS TEXT) AS serial,"
    " CASE WHEN state = 'in work' THEN 'in work' WHEN exit_status = 0 THEN 'passed' ELSE 'failed' END AS result,"
    " substr(started_at, 1, 10) AS day, started_at, finished_at, host, port, adapter_serial, file, file_sha256,"
    " version, outcome, exit_status FROM pelican_board";
constexpr const char* kYieldView =
    "pelican_yield AS SELECT day, host, COUNT(*) AS boards,"
    " COUNT(CASE WHEN result = 'passed' THEN 1 END) AS passed,"
    " COUNT(CASE WHEN result = 'failed' THEN 1 END) AS failed,"
    " COUNT(CASE WHEN result = 'in work' THEN 1 END) AS in_work,"
    " MIN(started_at) AS first_started, MAX(COALESCE(finished_at, started_at)) AS last_finished"
    " FROM pelican_board_view GROUP BY day, host";

bool Failed(COdbcConnection& connection, const CStoreUrl& url, const std::string& what, const std::string& why,
            std::string& error) {
    std::string ignored;
    connection.Rollback(ignored);
    error = what + " " + url.Text() + ": " + why;
    return false;
}

}  // namespace

bool CStoreSchema::Make(COdbcConnection& connection, const CStoreUrl& url, std::string& error) {
    // The two databases share all but the row id that numbers itself and
    // how a view already there is kept.
    const bool postgresql = url.GetKind() == CStoreUrl::Kind::Postgresql;
    const std::string id = postgresql ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY AUTOINCREMENT";
    const std::string view = postgresql ? "CREATE OR REPLACE VIEW " : "CREATE VIEW IF NOT EXISTS ";
    const std::string tables[] = {
        "CREATE TABLE IF NOT EXISTS pelican_schema (version INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS pelican_counter (name TEXT PRIMARY KEY, next_value BIGINT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS pelican_board (id " + id +
            ", run_id TEXT NOT NULL UNIQUE, serial_name TEXT, serial_value BIGINT, serial_address TEXT,"
            " serial_format TEXT, serial_bytes TEXT, state TEXT NOT NULL, started_at TEXT NOT NULL,"
            " finished_at TEXT, host TEXT NOT NULL, port TEXT NOT NULL, adapter_serial TEXT, file TEXT,"
            " file_sha256 TEXT, ranges TEXT, actions TEXT, version TEXT, status TEXT, outcome TEXT,"
            " exit_status INTEGER, UNIQUE (serial_name, serial_value))",
    };
    std::string why;
    // Stations that start together make the tables one after another
    // (SQLite: the first CREATE already holds the file's write lock).
    if (postgresql && !connection.Execute("SELECT pg_advisory_xact_lock(7316047)", {}, why))
        return Failed(connection, url, "the tables could not be made in", why, error);
    for (const std::string& sql : tables)
        if (!connection.Execute(sql, {}, why))
            return Failed(connection, url, "the tables could not be made in", why, error);
    std::optional<int64_t> version;
    if (!connection.QueryInt("SELECT MAX(version) FROM pelican_schema", {}, version, why))
        return Failed(connection, url, "the tables' version could not be read from", why, error);
    if (version && *version > kVersion) {
        return Failed(connection, url,
                      "the tables are of version " + std::to_string(*version) + ", newer than this program's (" +
                          std::to_string(kVersion) + "), in",
                      "use the program that made them", error);
    }
    // The views after the version is known: a newer program's are its own.
    for (const std::string& sql : {view + kBoardView, view + kYieldView})
        if (!connection.Execute(sql, {}, why))
            return Failed(connection, url, "the views could not be made in", why, error);
    if (!version && !connection.Execute("INSERT INTO pelican_schema (version) VALUES (?)",
                                        {int64_t{kVersion}}, why))
        return Failed(connection, url, "the tables' version could not be written to", why, error);
    if (!connection.Commit(why)) return Failed(connection, url, "the tables could not be made in", why, error);
    return true;
}

}  // namespace pelican
