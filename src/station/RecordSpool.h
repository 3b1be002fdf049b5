#pragma once
// The records a station could not send to the line's database (the
// connection lost during a run), kept on the station as JSON lines, one per
// record, each naming its store and its run_id. The next run with that
// store sends them first; only what landed leaves the file. A record sent
// twice lands once (the database keys it by run_id), so a station killed
// between sending and emptying loses nothing and doubles nothing.
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/OdbcConnection.h"
#include "sys/LockWait.h"

namespace pelican {

class CRecordSpool {
public:
    // A board's row: its columns, in order, with their values.
    using Row = std::vector<std::pair<std::string, COdbcConnection::Value>>;
    // Sends a row; false, with the reason, when it did not land.
    using Send = std::function<bool(const Row&, std::string&)>;

    // lockWait: how the file's lock is waited for (another station of this
    // PC may be sending or keeping).
    CRecordSpool(std::string path, std::function<CLockWait()> lockWait)
        : m_path(std::move(path)), m_lockWait(std::move(lockWait)) {}
    // Beside the settings file: the station's own, whoever shares the store.
    static std::string DefaultPath();
    const std::string& Path() const { return m_path; }

    // Appends row as one line naming store, and flushes it to the disk.
    bool Keep(const std::string& store, const Row& row, std::string& error);
    // Sends store's rows in the order they were kept, until one fails; the
    // rest of the file (other stores' rows, lines it cannot read) stays.
    // sent: how many landed; false, with the reason, when one did not.
    bool SendAll(const std::string& store, const Send& send, size_t& sent, std::string& error);

private:
    std::string m_path;
    std::function<CLockWait()> m_lockWait;
};

}  // namespace pelican
