#include "station/DatabaseStore.h"

#include "commands/CheckMemorryCmd.h"
#include "station/SerialNumber.h"

namespace pelican {
namespace {

using Values = std::vector<COdbcConnection::Value>;

COdbcConnection::Value Text(const std::string& text) {
    return text;
}

COdbcConnection::Value OrNull(const std::string& text) {
    if (text.empty()) return std::monostate();
    return text;
}

}  // namespace

CDatabaseStore::CDatabaseStore(const CStoreUrl& url) : m_url(url) {}

bool CDatabaseStore::Failed(const std::string& what, const std::string& why, std::string& error) {
    std::string ignored;
    m_connection.Rollback(ignored);
    error = what + " " + m_url.Text() + ": " + why;
    return false;
}

bool CDatabaseStore::Open(std::string& error) {
    std::string why;
    if (!m_connection.Connect(m_url.ConnectionString(), why)) {
        error = "the database " + m_url.Text() + " cannot be reached: " + why + "; the board is left as it is";
        return false;
    }
    return MakeSchema(error);
}

bool CDatabaseStore::MakeSchema(std::string& error) {
    // The two databases share all but the row id that numbers itself.
    const bool postgresql = m_url.GetKind() == CStoreUrl::Kind::Postgresql;
    const std::string id = postgresql ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY AUTOINCREMENT";
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
    if (postgresql && !m_connection.Execute("SELECT pg_advisory_xact_lock(7316047)", {}, why))
        return Failed("the tables could not be made in", why, error);
    for (const std::string& sql : tables)
        if (!m_connection.Execute(sql, {}, why)) return Failed("the tables could not be made in", why, error);
    std::optional<int64_t> version;
    if (!m_connection.QueryInt("SELECT MAX(version) FROM pelican_schema", {}, version, why))
        return Failed("the tables' version could not be read from", why, error);
    if (version && *version > kSchemaVersion) {
        return Failed("the tables are of version " + std::to_string(*version) + ", newer than this program's (" +
                          std::to_string(kSchemaVersion) + "), in",
                      "use the program that made them", error);
    }
    if (!version && !m_connection.Execute("INSERT INTO pelican_schema (version) VALUES (?)",
                                          {int64_t{kSchemaVersion}}, why))
        return Failed("the tables' version could not be written to", why, error);
    if (!m_connection.Commit(why)) return Failed("the tables could not be made in", why, error);
    return true;
}

bool CDatabaseStore::NextValue(const std::string& name, int64_t& value, std::string& error) {
    std::optional<int64_t> next;
    if (!m_connection.QueryInt("SELECT next_value FROM pelican_counter WHERE name = ?", {Text(name)}, next, error))
        return false;
    value = next.value_or(1);
    return true;
}

bool CDatabaseStore::TakeNumber(const std::string& name, int64_t& value, std::string& error) {
    for (int attempt = 0;; ++attempt) {
        int64_t changed = 0;
        // The counter's row is written first: that locks it (SQLite: the
        // whole file) until the end of the transaction, so that two
        // stations never read the same number.
        if (!m_connection.Execute("UPDATE pelican_counter SET next_value = next_value + 1 WHERE name = ?",
                                  {Text(name)}, error, &changed))
            return false;
        if (changed != 0) {
            if (!NextValue(name, value, error)) return false;
            --value;
            return true;
        }
        // A name not counted yet starts at 1.
        if (m_connection.Execute("INSERT INTO pelican_counter (name, next_value) VALUES (?, 2)", {Text(name)}, error)) {
            value = 1;
            return true;
        }
        // Another station started it at the same moment (a unique key
        // taken, SQLSTATE 23...): its row is there to be counted on now.
        if (attempt > 0 || m_connection.LastState().compare(0, 2, "23") != 0) return false;
        std::string ignored;
        m_connection.Rollback(ignored);
    }
}

bool CDatabaseStore::Check(const CSerialNumber& serial, std::string& error) {
    int64_t next = 0;
    std::string why;
    if (!NextValue(serial.CounterPath(), next, why))
        return Failed("the counter " + serial.CounterPath() + " could not be read from", why, error);
    // A read ends its transaction at once: SQLite holds a lock while one is open.
    std::string ignored;
    m_connection.Rollback(ignored);
    std::vector<uint8_t> bytes;
    if (serial.Encode(static_cast<uint64_t>(next), bytes, error)) return true;
    error = "serial number " + error + ": the counter " + serial.CounterPath() + " in " + m_url.Text() +
            " is left as it is";
    return false;
}

bool CDatabaseStore::Take(const CSerialNumber& serial, const CRunRecord& record, CRunRecord::Serial& taken,
                          std::string& error) {
    const std::string& name = serial.CounterPath();
    const std::string what = "serial number could not be taken from the counter " + name + " in";
    std::string why;
    int64_t value = 0;
    if (!TakeNumber(name, value, why)) return Failed(what, why, error);
    std::vector<uint8_t> bytes;
    if (!serial.Encode(static_cast<uint64_t>(value), bytes, why)) {
        std::string ignored;
        m_connection.Rollback(ignored);
        error = "serial number " + why + ": the counter " + name + " in " + m_url.Text() + " is left as it is";
        return false;
    }
    const CRunRecord::Serial number{static_cast<uint64_t>(value), serial.Address(), serial.FormatText(), bytes};
    // The board's row in the same transaction: a station killed after the
    // commit leaves the row 'in work' with its number, never a number
    // without its board.
    if (!m_connection.Execute(
            "INSERT INTO pelican_board (run_id, serial_name, serial_value, serial_address, serial_format,"
            " serial_bytes, state, started_at, host, port, adapter_serial, file)"
            " VALUES (?, ?, ?, ?, ?, ?, 'in work', ?, ?, ?, ?, ?)",
            {Text(record.runId), Text(name), value, Text(CCheckMemorryCmd::AddressToHex(number.address)),
             Text(number.format), Text(CRunRecord::SerialBytesHex(number)), Text(record.time), Text(record.host),
             Text(record.port), OrNull(record.usbSerial), OrNull(record.file)},
            why) ||
        !m_connection.Commit(why))
        return Failed(what, why + "; the board is left as it is", error);
    taken = number;
    return true;
}

bool CDatabaseStore::Finish(const CRunRecord& record, std::string& error) {
    const COdbcConnection::Value version = record.version ? Text(*record.version) : std::monostate();
    Values common = {Text("done"), Text(record.time), OrNull(record.finished), Text(record.host),
                     Text(record.port), OrNull(record.usbSerial), OrNull(record.file), OrNull(record.sha256),
                     Text(record.RangesJson()), Text(record.ActionsJson()), version, OrNull(record.StatusJson()),
                     Text(record.outcome), int64_t{record.exit}};
    std::string why;
    int64_t changed = 0;
    // The row the number opened is finished; a board without one gets its
    // row now. The same record sent twice lands once: run_id is unique.
    Values update = common;
    update.push_back(Text(record.runId));
    if (!m_connection.Execute("UPDATE pelican_board SET state = ?, started_at = ?, finished_at = ?, host = ?,"
                              " port = ?, adapter_serial = ?, file = ?, file_sha256 = ?, ranges = ?, actions = ?,"
                              " version = ?, status = ?, outcome = ?, exit_status = ? WHERE run_id = ?",
                              update, why, &changed))
        return Failed("the record could not be written to", why, error);
    if (changed == 0) {
        Values insert = common;
        insert.insert(insert.begin(), Text(record.runId));
        if (!m_connection.Execute("INSERT INTO pelican_board (run_id, state, started_at, finished_at, host, port,"
                                  " adapter_serial, file, file_sha256, ranges, actions, version, status, outcome,"
                                  " exit_status) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                                  insert, why))
            return Failed("the record could not be written to", why, error);
    }
    if (!m_connection.Commit(why)) return Failed("the record could not be written to", why, error);
    return true;
}

}  // namespace pelican
