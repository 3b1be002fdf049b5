#include "image/IntelHexReader.h"

#include "image/TextLineReader.h"

namespace pelican {
namespace {

constexpr uint32_t kAddressLimit = 0x1000000;

int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The record's bytes after the colon; false when a character is not a digit
// or the digits are odd in number.
bool DecodeBytes(const char* text, size_t length, std::vector<uint8_t>& bytes) {
    if (length % 2 != 0) return false;
    bytes.clear();
    for (size_t i = 0; i < length; i += 2) {
        const int high = Digit(text[i]);
        const int low = Digit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return true;
}

}  // namespace

CIntelHexReader::Result CIntelHexReader::Read(CTextLineReader& reader, std::vector<Run>& runs) {
    runs.clear();
    m_base = 0;
    m_segmented = false;
    m_ended = false;
    m_refusal = LoadRefusal::None;
    m_value = 0;
    m_line = 0;
    m_used.clear();
    m_used.resize(kAddressLimit >> 16);
    const char* text = nullptr;
    size_t length = 0;
    while (reader.Next(text, length)) {
        ++m_line;
        // Trailing blanks are common in hand-edited files; blank lines carry nothing.
        while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t')) --length;
        if (length == 0) continue;
        if (!Record(text, length, runs)) {
            runs.clear();
            return Result::Refused;
        }
        if (m_ended) return Result::Ended;
    }
    // A copy that failed part way ends at a record boundary as often as
    // not: only the end record tells that the whole file is there.
    runs.clear();
    Refuse(LoadRefusal::NoEndRecord);
    return Result::Refused;
}

bool CIntelHexReader::Refuse(LoadRefusal why, uint32_t value) {
    m_refusal = why;
    m_value = value;
    return false;
}

bool CIntelHexReader::Record(const char* text, size_t length, std::vector<Run>& runs) {
    if (m_used.empty()) m_used.resize(kAddressLimit >> 16);
    if (length < 11 || text[0] != ':') return Refuse(LoadRefusal::NotARecord);
    std::vector<uint8_t> bytes;
    if (!DecodeBytes(text + 1, length - 1, bytes)) return Refuse(LoadRefusal::NotARecord);
    const size_t count = bytes[0];
    if (bytes.size() != count + 5) return Refuse(LoadRefusal::BadLength);
    // The checksum makes the sum of all the record's bytes 00. A flipped
    // digit in transit still decodes; only the checksum tells.
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    if (m_verifyChecksums && sum != 0) return Refuse(LoadRefusal::BadChecksum);

    const uint32_t offset = static_cast<uint32_t>(bytes[1]) << 8 | bytes[2];
    const uint8_t* data = bytes.data() + 4;
    const uint8_t type = bytes[3];
    switch (type) {
    case 0x00:
        return StoreData(offset, data, count, runs);
    case 0x01:
        if (count != 0) return Refuse(LoadRefusal::BadFields, type);
        m_ended = true;
        return true;
    case 0x02:
        if (count != 2 || offset != 0) return Refuse(LoadRefusal::BadFields, type);
        m_base = (static_cast<uint32_t>(data[0]) << 8 | data[1]) << 4;
        m_segmented = true;
        return true;
    case 0x04:
        if (count != 2 || offset != 0) return Refuse(LoadRefusal::BadFields, type);
        m_base = (static_cast<uint32_t>(data[0]) << 8 | data[1]) << 16;
        m_segmented = false;
        return true;
    case 0x03:
    case 0x05:
        // The entry point (CS:IP, or a linear address) is of no use to a
        // flash image; linkers write one for every program.
        return count == 4 && offset == 0 ? true : Refuse(LoadRefusal::BadFields, type);
    default:
        return Refuse(LoadRefusal::UnknownType, type);
    }
}

bool CIntelHexReader::StoreData(uint32_t offset, const uint8_t* data, size_t count, std::vector<Run>& runs) {
    if (count == 0) return true;
    Run* run = nullptr;
    for (size_t i = 0; i < count; ++i) {
        // Under a segment base the offset wraps within its 64 KiB window;
        // under a linear base a record runs on into the next window.
        const uint64_t within = m_segmented ? (offset + i) & 0xFFFF : offset + i;
        const uint64_t address = static_cast<uint64_t>(m_base) + within;
        // The device has 24 address bits; a byte past them has no place.
        if (address >= kAddressLimit) return Refuse(LoadRefusal::PastAddressSpace);
        const auto a = static_cast<uint32_t>(address);
        auto& window = m_used[a >> 16];
        if (!window) window = std::make_unique<Window>(Window{});
        uint64_t& word = (*window)[(a & 0xFFFF) / 64];
        const uint64_t bit = uint64_t{1} << (a % 64);
        // Two records for one byte: which one the author meant is unknown.
        if ((word & bit) != 0) return Refuse(LoadRefusal::GivenTwice, a);
        word |= bit;
        if (run == nullptr || run->address + run->bytes.size() != a) {
            runs.push_back(Run{a, {}});
            run = &runs.back();
        }
        run->bytes.push_back(data[i]);
    }
    return true;
}

}  // namespace pelican
