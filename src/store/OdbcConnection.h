#pragma once
// One connection to a database through ODBC (unixODBC on Linux, odbc32 on
// Windows; the driver is the installed one COdbcDriver chooses). Its statements
// run in a transaction that Commit or Rollback ends: nothing is committed
// by itself. Every failure carries the driver's diagnostics.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "store/StoreUrl.h"

namespace pelican {

class COdbcConnection {
public:
    // A statement's parameter: NULL, an integer or a text.
    using Value = std::variant<std::monostate, int64_t, std::string>;

    COdbcConnection();
    ~COdbcConnection();
    COdbcConnection(const COdbcConnection&) = delete;
    COdbcConnection& operator=(const COdbcConnection&) = delete;

    // Connects to url's database through the installed driver that reaches
    // it, waiting at most 10 s for the server; false, with the driver
    // manager's or the driver's reason in error (or that no driver is
    // installed, what to install and what is). existing: a SQLite file
    // that is not there is not made. Connecting again first ends the
    // connection there was.
    bool Connect(const CStoreUrl& url, std::string& error, bool existing = false);
    bool Connected() const;
    // Runs sql with its ? bound to params in order; rows: how many rows it
    // changed.
    bool Execute(const std::string& sql, const std::vector<Value>& params, std::string& error,
                 int64_t* rows = nullptr);
    // The first column of the first row sql gives; nullopt for no row or NULL.
    bool QueryInt(const std::string& sql, const std::vector<Value>& params, std::optional<int64_t>& value,
                  std::string& error);
    // Every row sql gives, each column as text (nullopt for NULL).
    using Row = std::vector<std::optional<std::string>>;
    bool QueryRows(const std::string& sql, const std::vector<Value>& params, std::vector<Row>& rows,
                   std::string& error);
    bool Commit(std::string& error);
    // Undoes what the transaction did; false when even that failed.
    bool Rollback(std::string& error);
    // The five-character SQLSTATE of the last failure ("23505": a unique
    // key already taken; "40001": a serialization failure), empty if none.
    const std::string& LastState() const { return m_lastState; }

private:
    struct Handles;
    std::unique_ptr<Handles> m_handles;
    std::string m_lastState;
};

}  // namespace pelican
