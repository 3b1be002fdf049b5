#include "support/ServerRows.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace pelican::test {

std::vector<std::string> ServerRows(const std::string& url, const std::string& sql) {
    std::vector<std::string> rows;
    const std::string command = "psql -X -q -A -t -F '|' -P null=NULL -d '" + url + "' -c \"" + sql + "\"";
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr) << command;
    if (pipe == nullptr) return rows;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    for (size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
        rows.push_back(text.substr(from, end - from));
    return rows;
}

}  // namespace pelican::test
