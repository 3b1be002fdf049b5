#include "store/OdbcConnection.h"

#ifdef _WIN32
#include <windows.h>
#endif
// The ANSI entry points on both platforms (Windows builds define UNICODE,
// which would map them to the UTF-16 ones): the connection string and the
// SQL are ASCII but for the values, which are bound as parameters.
#define SQL_NOUNICODEMAP
#include <sql.h>
#include <sqlext.h>

#include <algorithm>

#include "store/OdbcDriver.h"

namespace pelican {
namespace {

bool Succeeded(SQLRETURN result) {
    return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO;
}

// An ODBC handle, freed with its kind. A connection handle is disconnected
// first when it was connected.
class Handle {
public:
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Free(); }
    SQLRETURN Allocate(SQLSMALLINT type, SQLHANDLE parent) {
        Free();
        m_type = type;
        return SQLAllocHandle(type, parent, &m_handle);
    }
    void Free() {
        if (m_handle == SQL_NULL_HANDLE) return;
        if (m_connected) SQLDisconnect(m_handle);
        SQLFreeHandle(m_type, m_handle);
        m_handle = SQL_NULL_HANDLE;
        m_connected = false;
    }
    SQLHANDLE Get() const { return m_handle; }
    SQLSMALLINT Type() const { return m_type; }
    bool m_connected = false;

private:
    SQLSMALLINT m_type = 0;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

// A driver's message on one line: libpq's hints follow on lines of their
// own ("...failed: Connection refused\n\tIs the server running...").
std::string OneLine(const std::string& message) {
    std::string line;
    bool broken = false;
    for (const char c : message) {
        if (c == '\n' || c == '\r') {
            broken = true;
            continue;
        }
        if (broken && (c == '\t' || c == ' ')) continue;  // the next line's indent
        if (broken && !line.empty()) line += line.back() == ';' || line.back() == '.' ? " " : "; ";
        broken = false;
        line += c;
    }
    return line;
}

// The handle's diagnostic records, "SQLSTATE: text" joined by "; "; state:
// the first record's SQLSTATE.
std::string Diagnostics(const Handle& handle, std::string& state) {
    std::string text;
    state.clear();
    for (SQLSMALLINT record = 1; record <= 8; ++record) {
        SQLCHAR code[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN result = SQLGetDiagRec(handle.Type(), handle.Get(), record, code, &native, message,
                                               static_cast<SQLSMALLINT>(sizeof message), &length);
        if (!Succeeded(result)) break;
        if (state.empty()) state = reinterpret_cast<const char*>(code);
        const std::string line = OneLine(reinterpret_cast<const char*>(message));
        text += (text.empty() ? "" : "; ") + std::string(reinterpret_cast<const char*>(code)) + ": " + line;
    }
    return text.empty() ? "no diagnostics from the driver" : text;
}

// The drivers the driver manager knows (odbcinst.ini; on Windows the
// registry's ODBC Drivers of this program's 32 or 64 bits), in its order.
std::vector<std::string> InstalledDrivers(const Handle& environment) {
    std::vector<std::string> names;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLCHAR name[256] = {};
        SQLCHAR attributes[1024] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT attributesLength = 0;
        const SQLRETURN result =
            SQLDrivers(environment.Get(), direction, name, static_cast<SQLSMALLINT>(sizeof name), &nameLength,
                       attributes, static_cast<SQLSMALLINT>(sizeof attributes), &attributesLength);
        if (!Succeeded(result)) break;
        names.emplace_back(reinterpret_cast<const char*>(name));
        direction = SQL_FETCH_NEXT;
    }
    return names;
}

// Runs sql on a new statement of connection with values bound to its ?;
// what SQLExecDirect returned, with the diagnostics in error (and the
// SQLSTATE in state) when it failed.
SQLRETURN Run(const Handle& connection, Handle& statement, const std::string& sql,
              std::vector<COdbcConnection::Value>& values, std::vector<SQLLEN>& indicators, std::string& state,
              std::string& error) {
    state.clear();
    if (!connection.m_connected) {
        error = "not connected";
        return SQL_ERROR;
    }
    if (!Succeeded(statement.Allocate(SQL_HANDLE_STMT, connection.Get()))) {
        error = Diagnostics(connection, state);
        return SQL_ERROR;
    }
    // values and indicators are read where they are when the statement runs.
    indicators.assign(values.size(), 0);
    for (size_t i = 0; i < values.size(); ++i) {
        const auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN bound = SQL_SUCCESS;
        if (auto* integer = std::get_if<int64_t>(&values[i])) {
            bound = SQLBindParameter(statement.Get(), number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                     integer, 0, &indicators[i]);
        } else if (auto* text = std::get_if<std::string>(&values[i])) {
            indicators[i] = static_cast<SQLLEN>(text->size());
            bound = SQLBindParameter(statement.Get(), number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                     std::max<SQLULEN>(text->size(), 1), 0, text->data(),
                                     static_cast<SQLLEN>(text->size()), &indicators[i]);
        } else {
            indicators[i] = SQL_NULL_DATA;
            bound = SQLBindParameter(statement.Get(), number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0,
                                     nullptr, 0, &indicators[i]);
        }
        if (!Succeeded(bound)) {
            error = Diagnostics(statement, state);
            return SQL_ERROR;
        }
    }
    std::string text = sql;
    const SQLRETURN result =
        SQLExecDirect(statement.Get(), reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
    if (!Succeeded(result) && result != SQL_NO_DATA) error = Diagnostics(statement, state);
    return result;
}

}  // namespace

struct COdbcConnection::Handles {
    Handle environment;
    Handle connection;
};

COdbcConnection::COdbcConnection() : m_handles(std::make_unique<Handles>()) {}

COdbcConnection::~COdbcConnection() {
    if (!Connected()) return;
    // A transaction left open is given up, never committed half-way.
    SQLEndTran(SQL_HANDLE_DBC, m_handles->connection.Get(), SQL_ROLLBACK);
}

bool COdbcConnection::Connected() const {
    return m_handles->connection.m_connected;
}

bool COdbcConnection::Connect(const CStoreUrl& url, std::string& error, bool existing) {
    Handles& h = *m_handles;
    m_lastState.clear();
    // The environment cannot be freed while a connection of it is left.
    h.connection.Free();
    if (!Succeeded(h.environment.Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE))) {
        error = "the ODBC driver manager could not be started";
        return false;
    }
    if (!Succeeded(SQLSetEnvAttr(h.environment.Get(), SQL_ATTR_ODBC_VERSION,
                                 reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(SQL_OV_ODBC3)), 0))) {
        error = Diagnostics(h.environment, m_lastState);
        return false;
    }
    if (!Succeeded(h.connection.Allocate(SQL_HANDLE_DBC, h.environment.Get()))) {
        error = Diagnostics(h.environment, m_lastState);
        return false;
    }
    const std::vector<std::string> installed = InstalledDrivers(h.environment);
    const std::optional<std::string> driver = COdbcDriver::Choose(url.GetKind(), installed);
    if (!driver) {
        error = COdbcDriver::Missing(url.GetKind(), installed, COdbcDriver::ThisPlatform());
        return false;
    }
    // For a driver that does not take libpq's connect_timeout: the driver
    // manager's own bound on the connection.
    SQLSetConnectAttr(h.connection.Get(), SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(10)), 0);
    std::string text = url.ConnectionString(*driver, existing);
    SQLSMALLINT length = 0;
    const SQLRETURN result =
        SQLDriverConnect(h.connection.Get(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                         static_cast<SQLSMALLINT>(text.size()), nullptr, 0, &length, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(result)) {
        error = Diagnostics(h.connection, m_lastState);
        return false;
    }
    h.connection.m_connected = true;
    if (!Succeeded(SQLSetConnectAttr(h.connection.Get(), SQL_ATTR_AUTOCOMMIT,
                                     reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(SQL_AUTOCOMMIT_OFF)), 0))) {
        error = Diagnostics(h.connection, m_lastState);
        return false;
    }
    return true;
}

bool COdbcConnection::Execute(const std::string& sql, const std::vector<Value>& params, std::string& error,
                              int64_t* rows) {
    Handle statement;
    std::vector<Value> values = params;
    std::vector<SQLLEN> indicators;
    const SQLRETURN result = Run(m_handles->connection, statement, sql, values, indicators, m_lastState, error);
    // A searched UPDATE or DELETE that met no row ends with SQL_NO_DATA.
    if (result == SQL_NO_DATA) {
        if (rows != nullptr) *rows = 0;
        return true;
    }
    if (!Succeeded(result)) return false;
    if (rows == nullptr) return true;
    SQLLEN count = 0;
    if (!Succeeded(SQLRowCount(statement.Get(), &count))) {
        error = Diagnostics(statement, m_lastState);
        return false;
    }
    *rows = count;
    return true;
}

bool COdbcConnection::QueryInt(const std::string& sql, const std::vector<Value>& params,
                               std::optional<int64_t>& value, std::string& error) {
    Handle statement;
    std::vector<Value> values = params;
    std::vector<SQLLEN> indicators;
    if (!Succeeded(Run(m_handles->connection, statement, sql, values, indicators, m_lastState, error))) return false;
    value.reset();
    const SQLRETURN fetched = SQLFetch(statement.Get());
    if (fetched == SQL_NO_DATA) return true;
    SQLBIGINT number = 0;
    SQLLEN indicator = 0;
    if (!Succeeded(fetched) ||
        !Succeeded(SQLGetData(statement.Get(), 1, SQL_C_SBIGINT, &number, sizeof number, &indicator))) {
        error = Diagnostics(statement, m_lastState);
        return false;
    }
    if (indicator != SQL_NULL_DATA) value = static_cast<int64_t>(number);
    return true;
}

bool COdbcConnection::QueryRows(const std::string& sql, const std::vector<Value>& params, std::vector<Row>& rows,
                                std::string& error) {
    Handle statement;
    std::vector<Value> values = params;
    std::vector<SQLLEN> indicators;
    rows.clear();
    if (!Succeeded(Run(m_handles->connection, statement, sql, values, indicators, m_lastState, error))) return false;
    SQLSMALLINT columns = 0;
    if (!Succeeded(SQLNumResultCols(statement.Get(), &columns))) {
        error = Diagnostics(statement, m_lastState);
        return false;
    }
    for (SQLRETURN fetched; (fetched = SQLFetch(statement.Get())) != SQL_NO_DATA;) {
        if (!Succeeded(fetched)) {
            error = Diagnostics(statement, m_lastState);
            return false;
        }
        Row& row = rows.emplace_back();
        for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(columns); ++column) {
            // A long text comes in pieces, each ended by the terminating zero.
            std::string text;
            SQLRETURN got = SQL_SUCCESS;
            SQLLEN indicator = 0;
            do {
                char piece[1024];
                got = SQLGetData(statement.Get(), column, SQL_C_CHAR, piece, sizeof piece, &indicator);
                if (got == SQL_NO_DATA) break;
                if (!Succeeded(got)) {
                    error = Diagnostics(statement, m_lastState);
                    return false;
                }
                if (indicator == SQL_NULL_DATA) break;
                const size_t held = indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof piece)
                                        ? sizeof piece - 1
                                        : static_cast<size_t>(indicator);
                text.append(piece, held);
            } while (got == SQL_SUCCESS_WITH_INFO);
            if (indicator == SQL_NULL_DATA)
                row.emplace_back();
            else
                row.emplace_back(std::move(text));
        }
    }
    return true;
}

bool COdbcConnection::Commit(std::string& error) {
    m_lastState.clear();
    if (Succeeded(SQLEndTran(SQL_HANDLE_DBC, m_handles->connection.Get(), SQL_COMMIT))) return true;
    error = Diagnostics(m_handles->connection, m_lastState);
    return false;
}

bool COdbcConnection::Rollback(std::string& error) {
    std::string state;
    if (Succeeded(SQLEndTran(SQL_HANDLE_DBC, m_handles->connection.Get(), SQL_ROLLBACK))) return true;
    error = Diagnostics(m_handles->connection, state);
    return false;
}

}  // namespace pelican
