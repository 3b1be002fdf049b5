#pragma once
// A database file's rows as SQLite's own library reads them: what the line's
// other programs would read, rather than what our ODBC route wrote.
#include <string>
#include <vector>

namespace pelican::test {

// The rows sql gives in the file at path, each column as text ("NULL" for
// none), joined by |.
std::vector<std::string> SqliteRows(const std::string& path, const std::string& sql);

}  // namespace pelican::test
