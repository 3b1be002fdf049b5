#pragma once
// A database that the stations of a line share (--store sqlite:PATH or
// postgresql://...), reached through ODBC: one counter row per product
// name, one row per board and run. A number is taken and its board's row
// opened ('in work') in one transaction, so the database never holds a
// number without its board; the row is finished ('done') with the whole
// record in another. The tables are made on first use, with their version.
// A record the database does not take at the end of the run is kept in the
// station's spool and sent when the next run opens the same database.
#include <functional>
#include <string>

#include "station/BoardStore.h"
#include "station/RecordSpool.h"
#include "store/OdbcConnection.h"
#include "store/StoreUrl.h"

namespace pelican {

class CDatabaseStore final : public IBoardStore {
public:
    // tell: how the store says what became of the spool's records.
    CDatabaseStore(const CStoreUrl& url, CRecordSpool spool, std::function<void(const std::string&)> tell);

    // Connects, makes the tables when they are not there yet, and sends
    // what the spool holds for this database.
    bool Open(std::string& error) override;
    bool KeepsRecords() const override { return true; }
    bool Check(const CSerialNumber& serial, std::string& error) override;
    bool Take(const CSerialNumber& serial, const CRunRecord& record, CRunRecord::Serial& taken,
              std::string& error) override;
    // True also when the record went to the spool instead (told).
    bool Finish(const CRunRecord& record, std::string& error) override;

private:
    // The board's row as Finish writes it, from its run_id on.
    static CRecordSpool::Row FinishedRow(const CRunRecord& record);
    // The row finished, or made when the board has none; committed.
    bool FinishRow(const CRecordSpool::Row& row, std::string& error);
    void SendSpool();
    bool MakeSchema(std::string& error);
    // The counter's next number in the transaction in hand (1 for a name
    // not counted yet).
    bool NextValue(const std::string& name, int64_t& value, std::string& error);
    // Moves the counter name on by one; value: the number it held (1 for a
    // name not counted yet).
    bool TakeNumber(const std::string& name, int64_t& value, std::string& error);
    // Gives up the transaction in hand; why, with the database named.
    bool Failed(const std::string& what, const std::string& why, std::string& error);

    CStoreUrl m_url;
    COdbcConnection m_connection;
    CRecordSpool m_spool;
    std::function<void(const std::string&)> m_tell;
};

}  // namespace pelican
