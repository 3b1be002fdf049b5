#pragma once
// The file: store: the counter file of --serial-number and the JSON log of
// --log, each taken under its lock for every write, so that the stations
// of a line may share them on one machine or a shared folder.
#include <functional>
#include <string>

#include "station/BoardStore.h"
#include "sys/LockWait.h"

namespace pelican {

class CFileStore final : public IBoardStore {
public:
    // log: --log's file, empty for none; lockWait: how each lock is waited
    // for (the run's clock and signals).
    CFileStore(std::string log, std::function<CLockWait()> lockWait);

    bool Open(std::string& error) override;
    bool KeepsRecords() const override { return !m_log.empty(); }
    bool Check(const CSerialNumber& serial, std::string& error) override;
    // The counter moves, then the log gets a "taken" line naming the board,
    // both under the counter's lock.
    bool Take(const CSerialNumber& serial, const CRunRecord& record, CRunRecord::Serial& taken,
              std::string& error) override;
    // The record appended to the log as one JSON line.
    bool Finish(const CRunRecord& record, std::string& error) override;

private:
    // The log opened, locked, text appended and flushed, and closed again:
    // between records a station holds nothing of a file the line shares.
    bool AppendToLog(const std::string& text, std::string& error);

    std::string m_log;
    std::function<CLockWait()> m_lockWait;
};

}  // namespace pelican
