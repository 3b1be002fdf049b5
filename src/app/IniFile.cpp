#include "app/IniFile.h"

#include "sys/Text.h"

#include <cctype>
#include <cerrno>
#include <filesystem>

#include "sys/FileReplacer.h"
#include "sys/InputFile.h"

namespace pelican {
namespace {

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// "[name]" → name; anything else → no section header.
bool SectionOf(const std::string& line, std::string& name) {
    const std::string text = Trim(line);
    if (text.size() < 2 || text.front() != '[') return false;
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    name = Trim(text.substr(1, close - 1));
    return true;
}

bool KeyOf(const std::string& line, std::string& key, std::string& value) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    const std::string text = Trim(line.substr(0, equals));
    if (text.empty() || text[0] == ';' || text[0] == '#') return false;
    key = text;
    value = Trim(line.substr(equals + 1));
    return true;
}

}  // namespace

CIniFile::CIniFile(std::string path) : m_path(std::move(path)) {}

void CIniFile::Load() {
    m_lines.clear();
    m_crlf = false;
    m_unread = false;
    m_tooLarge = false;
    m_folder = false;
    // Non-blocking, so that a pipe in the file's place cannot hang start-up.
    CInputFile file;
    const FileError opened = file.Open(m_path);
    if (opened != FileError::None) {
        m_unread = opened != FileError::NotFound;
        m_folder = opened == FileError::IsDirectory;
        return;
    }
    std::string text;
    m_tooLarge = file.Size() > static_cast<uint64_t>(kMaxFileSize);
    m_unread = m_tooLarge;
    char block[4096];
    while (!m_unread) {
        const long got = file.Read(block, sizeof block);
        if (got == 0) break;
        if (got > 0 && text.size() + static_cast<size_t>(got) > static_cast<size_t>(kMaxFileSize)) m_tooLarge = true;
        if (got < 0 || m_tooLarge) m_unread = true;
        else text.append(block, static_cast<size_t>(got));
    }
    file.Close();
    if (m_unread) return;
    // Lines end in LF or CR LF; whichever the first line uses is kept for
    // the file when it is written back.
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        const bool last = end == std::string::npos;
        if (last) end = text.size();
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (m_lines.empty() && !last) m_crlf = true;
        }
        m_lines.push_back(line);
        begin = end + 1;
    }
}

long CIniFile::FindKey(const std::string& section, const std::string& key) const {
    bool inSection = false;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        std::string name, value;
        if (SectionOf(m_lines[i], name)) {
            inSection = SameName(name, section);
        } else if (inSection && KeyOf(m_lines[i], name, value) && SameName(name, key)) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

bool CIniFile::Has(const std::string& section, const std::string& key) const {
    return FindKey(section, key) >= 0;
}

int CIniFile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
    const long index = FindKey(section, key);
    if (index < 0) return defaultValue;
    std::string name, value;
    KeyOf(m_lines[static_cast<size_t>(index)], name, value);
    return ParseDecimal(value);
}

void CIniFile::SetInt(const std::string& section, const std::string& key, int value) {
    const std::string line = key + "=" + std::to_string(value);
    const long index = FindKey(section, key);
    if (index >= 0) {
        m_lines[static_cast<size_t>(index)] = line;
        // Later duplicates of the key would only confuse the next reader.
        bool inSection = true;
        for (size_t i = static_cast<size_t>(index) + 1; i < m_lines.size();) {
            std::string name, text;
            if (SectionOf(m_lines[i], name)) inSection = SameName(name, section);
            if (inSection && KeyOf(m_lines[i], name, text) && SameName(name, key)) {
                m_lines.erase(m_lines.begin() + static_cast<long>(i));
                continue;
            }
            ++i;
        }
        return;
    }
    // Append to the section (after its last key), or add the section.
    bool inSection = false;
    long last = -1;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        std::string name, text;
        if (SectionOf(m_lines[i], name)) {
            if (inSection) break;
            inSection = SameName(name, section);
            if (inSection) last = static_cast<long>(i);
        } else if (inSection && KeyOf(m_lines[i], name, text)) {
            last = static_cast<long>(i);
        }
    }
    if (last >= 0) {
        m_lines.insert(m_lines.begin() + last + 1, line);
        return;
    }
    if (!m_lines.empty() && !Trim(m_lines.back()).empty()) m_lines.emplace_back();
    m_lines.push_back("[" + section + "]");
    m_lines.push_back(line);
}

std::string CIniFile::TargetPath() const {
    return CFileReplacer::FollowLinks(m_path);
}

CIniFile::SaveResult CIniFile::Save(std::string* why) const {
    std::string reason;
    const auto failed = [&](const std::string& text) {
        if (why != nullptr) *why = text;
        return SaveResult::Failed;
    };
    // What could not be read cannot be written back whole.
    if (m_unread)
        return failed(m_tooLarge ? "it is too large to be a settings file"
                      : m_folder ? "it is a folder"
                                 : "it could not be read");
    if (!CFileReplacer::MayFollow(m_path, reason)) return failed(reason);
    std::error_code ignored;
    const std::filesystem::path target(TargetPath());
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ignored);
    const char* const eol = m_crlf ? "\r\n" : "\n";
    std::string text;
    for (const auto& line : m_lines) text.append(line).append(eol);
    switch (CFileReplacer::Replace(target.string(), text, reason)) {
        case CFileReplacer::Result::Replaced: return SaveResult::Saved;
        case CFileReplacer::Result::ReadOnly: return SaveResult::ReadOnly;
        case CFileReplacer::Result::Failed: break;
    }
    return failed(reason);
}

}  // namespace pelican
