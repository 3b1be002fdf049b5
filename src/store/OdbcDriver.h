#pragma once
// Which of the installed ODBC drivers reaches a --store database. The
// drivers' names differ by platform and packaging: Debian's odbcinst.ini has
// "PostgreSQL Unicode", "PostgreSQL ANSI" and "SQLite3"; psqlODBC on Windows
// registers "PostgreSQL Unicode(x64)" and "PostgreSQL ANSI(x64)", the SQLite
// ODBC driver "SQLite3 ODBC Driver".
#include <optional>
#include <string>
#include <vector>

#include "store/StoreUrl.h"

namespace pelican {

class COdbcDriver {
public:
    enum class Platform { Linux, Windows };

    // The driver kind's database is reached with, among installed (in the
    // driver manager's order): for PostgreSQL a Unicode driver, else an ANSI
    // one, else any other PostgreSQL driver; for SQLite a SQLite3 driver
    // (never the SQLite 2 one, which cannot open a SQLite 3 file). nullopt
    // when there is none, or for file:.
    static std::optional<std::string> Choose(CStoreUrl::Kind kind, const std::vector<std::string>& installed);
    // One line: that no driver for kind is installed, what to install on
    // platform, and the drivers that are.
    static std::string Missing(CStoreUrl::Kind kind, const std::vector<std::string>& installed, Platform platform);
    // The platform this program was built for.
    static Platform ThisPlatform();
};

}  // namespace pelican
