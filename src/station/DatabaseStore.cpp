#include "station/DatabaseStore.h"

#include "commands/CheckMemorryCmd.h"
#include "station/SerialNumber.h"
#include "station/StoreSchema.h"

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

// The server is gone from under the connection (SQLSTATE class 08, a
// connection exception, or 57P01, the administrator's shutdown), rather
// than refusing what was sent.
bool ConnectionLost(const std::string& state) {
    return state.compare(0, 2, "08") == 0 || state == "57P01";
}

}  // namespace

CDatabaseStore::CDatabaseStore(const CStoreUrl& url, CRecordSpool spool, std::function<void(const std::string&)> tell)
    : m_url(url), m_spool(std::move(spool)), m_tell(std::move(tell)) {}

bool CDatabaseStore::Failed(const std::string& what, const std::string& why, std::string& error) {
    std::string ignored;
    m_connection.Rollback(ignored);
    error = what + " " + m_url.Text() + ": " + why;
    return false;
}

bool CDatabaseStore::Open(std::string& error) {
    std::string why;
    if (!m_connection.Connect(m_url, why)) {
        error = "the database " + m_url.Text() + " cannot be reached: " + why + "; the board is left as it is";
        return false;
    }
    if (!MakeSchema(error)) return false;
    SendSpool();
    return true;
}

void CDatabaseStore::SendSpool() {
    size_t sent = 0;
    std::string why;
    const auto send = [this](const CRecordSpool::Row& row, std::string& error) { return FinishRow(row, error); };
    const bool all = m_spool.SendAll(m_url.Text(), send, sent, why);
    const std::string records = sent == 1 ? "1 record" : std::to_string(sent) + " records";
    if (sent > 0) m_tell(records + " kept in " + m_spool.Path() + " sent to " + m_url.Text());
    // What is left is sent by a later run; this board is not held up.
    if (!all)
        m_tell("the records kept in " + m_spool.Path() + " could not all be sent to " + m_url.Text() + " (" + why +
               "); they are sent by a later run");
}

bool CDatabaseStore::MakeSchema(std::string& error) {
    return CStoreSchema::Make(m_connection, m_url, error);
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

CRecordSpool::Row CDatabaseStore::FinishedRow(const CRunRecord& record) {
    const COdbcConnection::Value version = record.version ? Text(*record.version) : std::monostate();
    return {{"run_id", Text(record.runId)},
            {"state", Text("done")},
            {"started_at", Text(record.time)},
            {"finished_at", OrNull(record.finished)},
            {"host", Text(record.host)},
            {"port", Text(record.port)},
            {"adapter_serial", OrNull(record.usbSerial)},
            {"file", OrNull(record.file)},
            {"file_sha256", OrNull(record.sha256)},
            {"ranges", Text(record.RangesJson())},
            {"actions", Text(record.ActionsJson())},
            {"version", version},
            {"status", OrNull(record.StatusJson())},
            {"outcome", Text(record.outcome)},
            {"exit_status", int64_t{record.exit}}};
}

bool CDatabaseStore::FinishRow(const CRecordSpool::Row& row, std::string& error) {
    static const char* const kColumns[] = {"run_id",      "state",   "started_at", "finished_at", "host",
                                           "port",        "adapter_serial", "file", "file_sha256", "ranges",
                                           "actions",     "version", "status",     "outcome",     "exit_status"};
    // A spool line is sent only with our columns, in our order: its names
    // go into the statement.
    bool ours = row.size() == std::size(kColumns) && std::holds_alternative<std::string>(row[0].second);
    for (size_t i = 0; ours && i < row.size(); ++i) ours = row[i].first == kColumns[i];
    if (!ours) {
        error = "a record of columns this program does not write";
        return false;
    }
    std::string set;
    std::string names;
    std::string marks;
    Values update;
    Values insert;
    for (const auto& [column, value] : row) {
        names += (names.empty() ? "" : ", ") + column;
        marks += marks.empty() ? "?" : ", ?";
        insert.push_back(value);
        if (column == "run_id") continue;
        set += (set.empty() ? "" : ", ") + column + " = ?";
        update.push_back(value);
    }
    update.push_back(row[0].second);
    std::string why;
    int64_t changed = 0;
    // The row the number opened is finished; a board without one gets its
    // row now. The same record sent twice lands once: run_id is unique.
    if (!m_connection.Execute("UPDATE pelican_board SET " + set + " WHERE run_id = ?", update, why, &changed) ||
        (changed == 0 &&
         !m_connection.Execute("INSERT INTO pelican_board (" + names + ") VALUES (" + marks + ")", insert, why)) ||
        !m_connection.Commit(why)) {
        std::string ignored;
        m_connection.Rollback(ignored);
        error = why;
        return false;
    }
    return true;
}

bool CDatabaseStore::Finish(const CRunRecord& record, std::string& error) {
    const CRecordSpool::Row row = FinishedRow(record);
    std::string why;
    if (FinishRow(row, why)) return true;
    // A server restarted during a long program run is there again: the
    // record goes to it directly, on a connection of its own, once.
    if (ConnectionLost(m_connection.LastState())) {
        // Still gone: the record is kept, with why it was lost.
        std::string again;
        if (m_connection.Connect(m_url, again) && FinishRow(row, again)) return true;
    }
    // The board is programmed and its number's row is in the database ('in
    // work'): the record waits on the station rather than being lost.
    std::string kept;
    if (m_spool.Keep(m_url.Text(), row, kept)) {
        m_tell("the record was kept in " + m_spool.Path() + ": the database could not be reached (" + why +
               "); it is sent when the database is back");
        return true;
    }
    error = "the record could not be written to " + m_url.Text() + ": " + why + ", nor kept in " + m_spool.Path() +
            ": " + kept;
    return false;
}

}  // namespace pelican
