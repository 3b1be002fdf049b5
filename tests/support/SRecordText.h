#pragma once
// Motorola S-record text for test files: data in S2 records of 32 bytes
// from a start address, and an S8 termination record.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pelican::test {

// A pattern that differs from page to page and from byte to byte, with no
// FF in it (so that every byte is compared when read back).
inline std::vector<uint8_t> PatternBytes(size_t count) {
    std::vector<uint8_t> data(count);
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<uint8_t>((i * 7 + i / 256) % 0xFF);
    return data;
}

// One S2 record (24-bit address) with its checksum and a line end.
inline std::string S2Record(uint32_t address, const uint8_t* data, size_t length) {
    std::vector<uint8_t> record = {static_cast<uint8_t>(length + 4), static_cast<uint8_t>(address >> 16),
                                   static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    record.insert(record.end(), data, data + length);
    std::string text = "S2";
    unsigned sum = 0;
    char hex[3];
    for (const uint8_t byte : record) {
        std::snprintf(hex, sizeof hex, "%02X", byte);
        text += hex;
        sum += byte;
    }
    std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFFu);
    return text + hex + "\n";
}

inline std::string SRecordText(uint32_t start, const std::vector<uint8_t>& data) {
    std::string text;
    for (size_t at = 0; at < data.size(); at += 32) {
        const size_t length = data.size() - at < 32 ? data.size() - at : 32;
        text += S2Record(start + static_cast<uint32_t>(at), data.data() + at, length);
    }
    return text + "S804000000FB\n";
}

}  // namespace pelican::test
