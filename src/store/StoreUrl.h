#pragma once
// --store URL: where a station takes its boards' numbers and keeps their
// records. "file:" (the counter file and the JSON log of --serial-number
// and --log), "sqlite:PATH" (a database file for one station or one PC),
// "postgresql://user@host[:port]/db" (one server for a line of PCs).
#include <cstdint>
#include <string>

namespace pelican {

class CStoreUrl {
public:
    enum class Kind { File, Sqlite, Postgresql };

    // False, with why in error, for an unknown scheme, a URL without its
    // path, host or database, a port outside 1 to 65535, a password in the
    // URL, or a character the connection string cannot carry.
    static bool Parse(const std::string& text, CStoreUrl& result, std::string& error);

    Kind GetKind() const { return m_kind; }
    // The URL as it was given ("file:" when none was).
    const std::string& Text() const { return m_text; }
    // What ODBC connects with through driver (COdbcDriver chooses it): the
    // database and how long to wait for it. A password is never in it:
    // libpq, under the PostgreSQL driver, takes it from PGPASSWORD or the
    // password file (~/.pgpass, or the one PGPASSFILE names), where no other
    // user of the machine sees it. existing: a SQLite file that is not
    // there is not made (for what only reads).
    std::string ConnectionString(const std::string& driver, bool existing = false) const;

private:
    Kind m_kind = Kind::File;
    std::string m_text = "file:";
    std::string m_path;  // sqlite
    std::string m_user;  // postgresql; empty: the user libpq assumes
    std::string m_host;
    uint16_t m_port = 0;  // 0: the driver's (5432)
    std::string m_database;
};

}  // namespace pelican
