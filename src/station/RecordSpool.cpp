#include "station/RecordSpool.h"

#include <filesystem>
#include <system_error>

#include "station/JsonLine.h"
#include "sys/LockedFile.h"
#include "sys/Paths.h"

namespace pelican {
namespace {

void AppendUtf8(uint32_t code, std::string& text) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A string literal as CJsonLine::Quote writes it, from at (its opening
// quote) on; at ends past its closing quote.
bool ReadString(const std::string& line, size_t& at, std::string& text) {
    if (at >= line.size() || line[at] != '"') return false;
    for (++at; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++at >= line.size()) return false;
        const char escaped = line[at];
        if (escaped == 'u') {
            if (at + 4 >= line.size()) return false;
            const std::string digits = line.substr(at + 1, 4);
            if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
            AppendUtf8(static_cast<uint32_t>(std::stoul(digits, nullptr, 16)), text);
            at += 4;
        } else if (escaped == 'n') {
            text += '\n';
        } else if (escaped == 't') {
            text += '\t';
        } else if (escaped == 'r') {
            text += '\r';
        } else {
            text += escaped;
        }
    }
    return false;
}

// A line Keep wrote: its store and its row; false for any other line.
bool ReadLine(const std::string& line, std::string& store, CRecordSpool::Row& row) {
    size_t at = 0;
    if (line.empty() || line[at++] != '{') return false;
    bool first = true;
    while (at < line.size() && line[at] != '}') {
        if (!first && line[at++] != ',') return false;
        first = false;
        std::string key;
        if (!ReadString(line, at, key) || at >= line.size() || line[at++] != ':') return false;
        COdbcConnection::Value value;
        if (line.compare(at, 4, "null") == 0) {
            at += 4;
        } else if (at < line.size() && line[at] == '"') {
            std::string text;
            if (!ReadString(line, at, text)) return false;
            value = text;
        } else {
            const size_t end = line.find_first_not_of("-0123456789", at);
            if (end == at || end == std::string::npos) return false;
            value = static_cast<int64_t>(std::stoll(line.substr(at, end - at)));
            at = end;
        }
        if (key == "store" && std::holds_alternative<std::string>(value))
            store = std::get<std::string>(value);
        else
            row.emplace_back(key, value);
    }
    return at + 1 == line.size() && !store.empty() && !row.empty();
}

}  // namespace

std::string CRecordSpool::DefaultPath() { return ConfigFilePath(ApplicationName() + "-spool.jsonl"); }

bool CRecordSpool::Keep(const std::string& store, const Row& row, std::string& error) {
    std::error_code ignored;
    const std::filesystem::path path(m_path);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
    CJsonLine line;
    line.Add("store", store);
    for (const auto& [column, value] : row) {
        if (const auto* text = std::get_if<std::string>(&value))
            line.Add(column, *text);
        else if (const auto* number = std::get_if<int64_t>(&value))
            line.Add(column, *number);
        else
            line.AddJson(column, "null");
    }
    CLockedFile file;
    // Stations of one PC may share the folder: each line added under the lock.
    return file.Open(m_path, CLockedFile::Mode::Append, error) &&
           m_lockWait().Lock(file, error) == CLockWait::Result::Locked && file.Append(line.Text() + "\n", error) &&
           file.Sync(error);
}

bool CRecordSpool::SendAll(const std::string& store, const Send& send, size_t& sent, std::string& error) {
    sent = 0;
    std::error_code missing;
    if (!std::filesystem::exists(m_path, missing)) return true;
    CLockedFile file;
    std::string text;
    // The lock is held until the file is rewritten: two stations starting
    // together do not both send what it holds.
    if (!file.Open(m_path, CLockedFile::Mode::Update, error) ||
        m_lockWait().Lock(file, error) != CLockWait::Result::Locked || !file.ReadAll(text, error))
        return false;
    std::string left;
    bool failed = false;
    for (size_t from = 0, end; from < text.size(); from = end + 1) {
        end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(from, end - from);
        std::string lineStore;
        Row row;
        if (!failed && ReadLine(line, lineStore, row) && lineStore == store) {
            if (send(row, error)) {
                ++sent;
                continue;
            }
            failed = true;
        }
        if (!line.empty()) left += line + "\n";
    }
    if (sent > 0) {
        std::string why;
        if (!file.Overwrite(left, why) || !file.Sync(why)) {
            error = why;
            return false;
        }
    }
    return !failed;
}

}  // namespace pelican
