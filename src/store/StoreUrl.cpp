#include "store/StoreUrl.h"

namespace pelican {
namespace {

// A value that a connection string holds as it is: it would end the
// attribute (;) or open a braced value ({ }).
bool Plain(const std::string& text) {
    return text.find_first_of(";{}") == std::string::npos;
}

}  // namespace

bool CStoreUrl::Parse(const std::string& text, CStoreUrl& result, std::string& error) {
    CStoreUrl parsed;
    parsed.m_text = text;
    static const std::string kSqlite = "sqlite:";
    static const std::string kPostgresql = "postgresql://";
    if (text == "file:") {
        result = parsed;
        return true;
    }
    if (text.compare(0, kSqlite.size(), kSqlite) == 0) {
        parsed.m_kind = Kind::Sqlite;
        parsed.m_path = text.substr(kSqlite.size());
        if (parsed.m_path.empty()) {
            error = "sqlite: needs the database file's path, e.g. sqlite:/var/lib/line/line.db";
            return false;
        }
        if (!Plain(parsed.m_path)) {
            error = "the database file's path must not hold ; { or }";
            return false;
        }
        result = parsed;
        return true;
    }
    if (text.compare(0, kPostgresql.size(), kPostgresql) != 0) {
        error = "expected file:, sqlite:PATH or postgresql://user@host[:port]/db";
        return false;
    }
    parsed.m_kind = Kind::Postgresql;
    std::string rest = text.substr(kPostgresql.size());
    const size_t slash = rest.find('/');
    if (slash == std::string::npos || slash + 1 == rest.size()) {
        error = "postgresql:// needs the database after the host: postgresql://user@host[:port]/db";
        return false;
    }
    parsed.m_database = rest.substr(slash + 1);
    rest.resize(slash);
    if (const size_t at = rest.rfind('@'); at != std::string::npos) {
        parsed.m_user = rest.substr(0, at);
        rest = rest.substr(at + 1);
        if (parsed.m_user.find(':') != std::string::npos) {
            // A command line is seen by every user of the machine.
            error = "the password does not go in the URL: PGPASSWORD or the password file (~/.pgpass) holds it";
            return false;
        }
    }
    if (const size_t colon = rest.find(':'); colon != std::string::npos) {
        const std::string port = rest.substr(colon + 1);
        unsigned long value = 0;
        const bool digits = !port.empty() && port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos;
        if (digits) value = std::stoul(port);
        if (!digits || value == 0 || value > 65535) {
            error = "the port must be a number from 1 to 65535";
            return false;
        }
        parsed.m_port = static_cast<uint16_t>(value);
        rest.resize(colon);
    }
    parsed.m_host = rest;
    if (parsed.m_host.empty()) {
        error = "postgresql:// needs the server's host: postgresql://user@host[:port]/db";
        return false;
    }
    if (!Plain(parsed.m_user) || !Plain(parsed.m_host) || !Plain(parsed.m_database) ||
        parsed.m_database.find('/') != std::string::npos) {
        error = "the user, host and database must not hold ; { } (nor the database /)";
        return false;
    }
    result = parsed;
    return true;
}

std::string CStoreUrl::ConnectionString(const std::string& driver, bool existing) const {
    switch (m_kind) {
        case Kind::File: return std::string();
        case Kind::Sqlite:
            // A station waits up to 30 s for another one's transaction to end
            // instead of failing at once.
            return "Driver={" + driver + "};Database=" + m_path + ";Timeout=30000;" + (existing ? "NoCreat=1;" : "");
        case Kind::Postgresql: {
            std::string text = "Driver={" + driver + "};Server=" + m_host + ";Database=" + m_database + ";";
            if (m_port != 0) text += "Port=" + std::to_string(m_port) + ";";
            if (!m_user.empty()) text += "UID=" + m_user + ";";
            // libpq's own options, so that a station never waits for ever on
            // the network: 10 s for a host that does not answer or a server
            // that accepts and says nothing; an idle connection probed after
            // 10 s, every 5 s, given up after 3 probes unanswered (a server
            // gone while the station waits for its answer); data sent and not
            // acknowledged for 30 s (a server gone while the station sends).
            text += "pqopt={connect_timeout=10 keepalives=1 keepalives_idle=10 keepalives_interval=5 "
                    "keepalives_count=3 tcp_user_timeout=30000};";
            return text;
        }
    }
    return std::string();
}

}  // namespace pelican
