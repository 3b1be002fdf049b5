#include "sim/SRecordReader.h"

#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

#include "sys/InputFile.h"

namespace pelican::sim {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The bytes of a record after its "Sn" type, or false when a pair is not hex.
bool HexBytes(const std::string& text, size_t from, std::vector<uint8_t>& bytes) {
    if ((text.size() - from) % 2 != 0) return false;
    for (size_t i = from; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return true;
}

size_t AddressLength(char type) {
    switch (type) {
        case '0': case '1': case '5': case '9': return 2;
        case '2': case '6': case '8': return 3;
        case '3': case '7': return 4;
        default: return 0;
    }
}

}  // namespace

bool CSRecordReader::ReadText(const std::string& text, const Sink& sink, std::string& error) {
    std::vector<std::pair<uint32_t, uint8_t>> cells;
    std::istringstream lines(text);
    std::string line;
    for (unsigned number = 1; std::getline(lines, line); ++number) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (line.empty()) continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (line.size() < 4 || line[0] != 'S') {
            error = where + "not an S-record";
            return false;
        }
        const size_t addressLength = AddressLength(line[1]);
        std::vector<uint8_t> bytes;
        if (addressLength == 0 || !HexBytes(line, 2, bytes)) {
            error = where + "bad record type or hex digits";
            return false;
        }
        // The count covers address, data and checksum.
        if (bytes[0] + 1u != bytes.size() || bytes[0] < addressLength + 1) {
            error = where + "byte count does not match the record";
            return false;
        }
        unsigned sum = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
        if (static_cast<uint8_t>(~sum) != bytes.back()) {
            error = where + "checksum error";
            return false;
        }
        if (line[1] < '1' || line[1] > '3') continue;  // header, count, start address
        uint32_t address = 0;
        for (size_t i = 0; i < addressLength; ++i) address = address << 8 | bytes[1 + i];
        for (size_t i = 1 + addressLength; i + 1 < bytes.size(); ++i)
            cells.emplace_back(address++, bytes[i]);
    }
    for (const auto& [address, value] : cells) sink(address, value);
    return true;
}

bool CSRecordReader::ReadFile(const std::string& path, const Sink& sink, std::string& error) {
    // Only a regular file of bounded size is read, and the open never
    // blocks: a pipe without a writer cannot hold the board (and its
    // signals) up.
    CInputFile file;
    std::string text;
    switch (file.Open(path)) {
        case FileError::None: break;
        case FileError::NotFound: error = "cannot open " + path + ": no such file"; break;
        case FileError::AccessDenied: error = "cannot open " + path + ": permission denied"; break;
        case FileError::IsDirectory:
        case FileError::NotRegularFile: error = path + " is not a regular file"; break;
        default: error = "cannot open " + path; break;
    }
    if (error.empty() && file.Size() > kMaxFileSize) error = path + " is too large";
    char block[65536];
    while (error.empty()) {
        const long got = file.Read(block, sizeof block);
        if (got < 0) {
            error = "cannot read " + path;
            break;
        }
        if (got == 0) break;
        if (text.size() + static_cast<size_t>(got) > kMaxFileSize) {
            error = path + " is too large";
            break;
        }
        text.append(block, static_cast<size_t>(got));
    }
    file.Close();
    if (!error.empty()) return false;
    if (!ReadText(text, sink, error)) {
        error = path + ", " + error;
        return false;
    }
    return true;
}

}  // namespace pelican::sim
