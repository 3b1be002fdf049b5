#pragma once
// A PostgreSQL server's rows as psql gives them: what the line's other
// programs would read, through the server's own client rather than ours.
#include <string>
#include <vector>

namespace pelican::test {

// The rows sql gives on the server url names, each column as text ("NULL"
// for none), joined by |.
std::vector<std::string> ServerRows(const std::string& url, const std::string& sql);

}  // namespace pelican::test
