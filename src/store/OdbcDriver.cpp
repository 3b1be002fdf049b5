#include "store/OdbcDriver.h"

#include <algorithm>
#include <cctype>

namespace pelican {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool Has(const std::string& name, const char* part) {
    return Lower(name).find(part) != std::string::npos;
}

// The first of installed that has every one of parts (lower case).
std::optional<std::string> First(const std::vector<std::string>& installed, std::initializer_list<const char*> parts) {
    for (const std::string& name : installed) {
        if (std::all_of(parts.begin(), parts.end(), [&](const char* part) { return Has(name, part); })) return name;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> COdbcDriver::Choose(CStoreUrl::Kind kind, const std::vector<std::string>& installed) {
    switch (kind) {
        case CStoreUrl::Kind::File: return std::nullopt;
        case CStoreUrl::Kind::Sqlite: return First(installed, {"sqlite3"});
        case CStoreUrl::Kind::Postgresql:
            // The Unicode driver carries every character of a record's text;
            // the ANSI one only those of the server's encoding.
            if (auto unicode = First(installed, {"postgresql", "unicode"})) return unicode;
            if (auto ansi = First(installed, {"postgresql", "ansi"})) return ansi;
            return First(installed, {"postgresql"});
    }
    return std::nullopt;
}

std::string COdbcDriver::Missing(CStoreUrl::Kind kind, const std::vector<std::string>& installed, Platform platform) {
    const bool windows = platform == Platform::Windows;
    std::string text;
    if (kind == CStoreUrl::Kind::Postgresql)
        text = "no PostgreSQL ODBC driver is installed: " +
               std::string(windows ? "install psqlODBC (64-bit)" : "apt-get install odbc-postgresql");
    else
        text = "no SQLite3 ODBC driver is installed: " +
               std::string(windows ? "install the SQLite3 ODBC driver (64-bit)" : "apt-get install libsqliteodbc");
    std::string names;
    for (const std::string& name : installed) names += (names.empty() ? "" : ", ") + name;
    return text + " (installed: " + (names.empty() ? "none" : names) + ")";
}

COdbcDriver::Platform COdbcDriver::ThisPlatform() {
#ifdef _WIN32
    return Platform::Windows;
#else
    return Platform::Linux;
#endif
}

}  // namespace pelican
