#pragma once
// A database that the stations of a line share (--store sqlite:PATH or
// postgresql://...), reached through ODBC: one counter row per product
// name, one row per board and run. A number is taken and its board's row
// opened ('in work') in one transaction, so the database never holds a
// number without its board; the row is finished ('done') with the whole
// record in another. The tables are made on first use, with their version.
#include <string>

#include "station/BoardStore.h"
#include "store/OdbcConnection.h"
#include "store/StoreUrl.h"

namespace pelican {

class CDatabaseStore final : public IBoardStore {
public:
    // The version of the tables this program makes and writes.
    static constexpr int kSchemaVersion = 1;

    explicit CDatabaseStore(const CStoreUrl& url);

    // Connects and makes the tables when they are not there yet.
    bool Open(std::string& error) override;
    bool KeepsRecords() const override { return true; }
    bool Check(const CSerialNumber& serial, std::string& error) override;
    bool Take(const CSerialNumber& serial, const CRunRecord& record, CRunRecord::Serial& taken,
              std::string& error) override;
    bool Finish(const CRunRecord& record, std::string& error) override;

private:
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
};

}  // namespace pelican
