#include "station/StoreReport.h"

#include <algorithm>
#include <vector>

#include "lifecycle/ExitStatus.h"
#include "station/JsonLine.h"
#include "station/StoreSchema.h"
#include "store/OdbcConnection.h"

namespace pelican {
namespace {

using Rows = std::vector<COdbcConnection::Row>;

// A view's column: its name (the header, and the key in JSON), whether it
// holds a number, and whether a person's table shows it.
struct Column {
    const char* name;
    bool number;
    bool shown;
};

constexpr Column kBoardColumns[] = {
    {"serial_name", false, true}, {"serial", false, true},       {"result", false, true},
    {"started_at", false, true},  {"host", false, true},         {"port", false, true},
    {"file", false, true},        {"finished_at", false, false}, {"adapter_serial", false, false},
    {"file_sha256", false, false}, {"version", false, false},    {"outcome", false, false},
    {"exit_status", true, false}, {"run_id", false, false},
};

constexpr Column kYieldColumns[] = {
    {"day", false, true},    {"host", false, true},          {"boards", true, true},
    {"passed", true, true},  {"failed", true, true},         {"in_work", true, true},
    {"first_started", false, true}, {"last_finished", false, true},
};

bool Digits(const std::string& text, size_t most) {
    return !text.empty() && text.size() <= most &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool Hex(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

// YYYY-MM-DD, as the first ten characters of the rows' started_at.
bool IsDay(const std::string& text) {
    return text.size() == 10 && text[4] == '-' && text[7] == '-' && Digits(text.substr(0, 4), 4) &&
           Digits(text.substr(5, 2), 2) && Digits(text.substr(8, 2), 2);
}

template <size_t N>
std::string Names(const Column (&columns)[N]) {
    std::string names;
    for (const Column& column : columns) names += (names.empty() ? "" : ", ") + std::string(column.name);
    return names;
}

// The shown columns under their names, each as wide as its widest cell and
// two spaces apart; a NULL shows as "-".
template <size_t N>
std::vector<std::string> Table(const Column (&columns)[N], const Rows& rows) {
    std::vector<std::vector<std::string>> cells(1);
    for (const Column& column : columns)
        if (column.shown) cells[0].emplace_back(column.name);
    for (const auto& row : rows) {
        auto& line = cells.emplace_back();
        for (size_t i = 0; i < N && i < row.size(); ++i)
            if (columns[i].shown) line.push_back(row[i].value_or("-"));
    }
    std::vector<size_t> widths(cells[0].size(), 0);
    for (const auto& line : cells)
        for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
    std::vector<std::string> lines;
    for (const auto& line : cells) {
        std::string text;
        for (size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size()) text += std::string(widths[i] - line[i].size() + 2, ' ');
        }
        lines.push_back(text);
    }
    return lines;
}

// One object per row, every column, a NULL as null.
template <size_t N>
std::vector<std::string> JsonLines(const Column (&columns)[N], const Rows& rows) {
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        CJsonLine line;
        for (size_t i = 0; i < N && i < row.size(); ++i) {
            if (!row[i])
                line.AddJson(columns[i].name, "null");
            else if (columns[i].number)
                line.AddJson(columns[i].name, *row[i]);
            else
                line.Add(columns[i].name, *row[i]);
        }
        lines.push_back(line.Text());
    }
    return lines;
}

}  // namespace

bool CStoreReport::Parse(const std::string& text, Question& question, std::string& error) {
    error = "expected serial=N, serial=NAME:N, file=NAME, file=SHA256, yield or yield=YYYY-MM-DD";
    const size_t equals = text.find('=');
    const std::string word = text.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : text.substr(equals + 1);
    Question parsed;
    if (word == "yield") {
        if (equals != std::string::npos && !IsDay(value)) return false;
        parsed.kind = Kind::Yield;
        parsed.value = value;
    } else if (word == "serial") {
        // The number is after the last colon: a counter's name may hold one.
        const size_t colon = value.rfind(':');
        std::string number = colon == std::string::npos ? value : value.substr(colon + 1);
        if (!Digits(number, 19) || colon == 0) return false;
        number.erase(0, std::min(number.find_first_not_of('0'), number.size() - 1));
        parsed.kind = Kind::Serial;
        parsed.name = colon == std::string::npos ? std::string() : value.substr(0, colon);
        parsed.value = number;
    } else if (word == "file") {
        if (value.empty()) return false;
        const bool sha256 = value.size() == 64 && Hex(value);
        parsed.kind = sha256 ? Kind::Sha256 : Kind::File;
        parsed.value = value;
        // The record holds the hash in lower case.
        if (sha256) std::transform(value.begin(), value.end(), parsed.value.begin(), [](char c) {
                return static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
            });
    } else {
        return false;
    }
    question = parsed;
    error.clear();
    return true;
}

int CStoreReport::Run(const Question& question, const std::string& today) {
    // A report only reads: a SQLite file that is not there is not made.
    COdbcConnection connection;
    std::string why;
    if (!connection.Connect(m_url, why, true)) {
        m_report("the database " + m_url.Text() + " cannot be reached: " + why);
        return kExitRecordFiles;
    }
    // A database an earlier run made gets the views it lacks.
    if (!CStoreSchema::Make(connection, m_url, why)) {
        m_report(why);
        return kExitRecordFiles;
    }
    const bool yield = question.kind == Kind::Yield;
    std::string sql = yield ? "SELECT " + Names(kYieldColumns) + " FROM pelican_yield WHERE day = ? ORDER BY host"
                            : "SELECT " + Names(kBoardColumns) + " FROM pelican_board_view WHERE ";
    std::vector<COdbcConnection::Value> params = {question.value};
    std::string none;
    switch (question.kind) {
        case Kind::Serial:
            sql += question.name.empty() ? "serial = ?" : "serial = ? AND serial_name = ?";
            if (!question.name.empty()) params.emplace_back(question.name);
            none = "no board with serial " + (question.name.empty() ? "" : question.name + ":") + question.value;
            break;
        case Kind::File:
            sql += "file = ?";
            none = "no board programmed with " + question.value;
            break;
        case Kind::Sha256:
            sql += "file_sha256 = ?";
            none = "no board programmed with a file of SHA-256 " + question.value;
            break;
        case Kind::Yield:
            if (question.value.empty()) params = {today};
            none = "no board on " + std::get<std::string>(params[0]);
            break;
    }
    if (!yield) sql += " ORDER BY started_at, id";
    Rows rows;
    const bool read = connection.QueryRows(sql, params, rows, why);
    // A read ends its transaction at once: SQLite holds a lock while one is open.
    std::string ignored;
    connection.Rollback(ignored);
    if (!read) {
        m_report("the report could not be read from " + m_url.Text() + ": " + why);
        return kExitRecordFiles;
    }
    if (rows.empty() && !m_json) m_print(none + " in " + m_url.Text());
    if (rows.empty()) return kExitDone;
    const auto lines = yield ? (m_json ? JsonLines(kYieldColumns, rows) : Table(kYieldColumns, rows))
                             : (m_json ? JsonLines(kBoardColumns, rows) : Table(kBoardColumns, rows));
    for (const std::string& line : lines) m_print(line);
    return kExitDone;
}

}  // namespace pelican
