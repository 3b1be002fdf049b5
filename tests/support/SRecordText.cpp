#include "support/SRecordText.h"

namespace pelican::test {
namespace {

// Address bytes of each record type.
const int kAddressBytes[10] = {2, 2, 3, 4, 4, 2, 3, 4, 3, 2};

}  // namespace

std::vector<uint8_t> PatternBytes(size_t count) {
    std::vector<uint8_t> data(count);
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<uint8_t>((i * 7 + i / 256) % 0xFF);
    return data;
}

std::string RecordWithCount(int type, uint8_t count, uint32_t address, const std::vector<uint8_t>& data) {
    static const char* const kDigits = "0123456789ABCDEF";
    std::vector<uint8_t> body = {count};
    for (int i = kAddressBytes[type] - 1; i >= 0; --i) body.push_back(static_cast<uint8_t>(address >> (8 * i)));
    body.insert(body.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (const uint8_t byte : body) sum += byte;
    body.push_back(static_cast<uint8_t>(~sum));
    std::string text = {'S', static_cast<char>('0' + type)};
    for (const uint8_t byte : body) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::string Record(int type, uint32_t address, const std::vector<uint8_t>& data) {
    return RecordWithCount(type, static_cast<uint8_t>(kAddressBytes[type] + data.size() + 1), address, data);
}

std::string S2Record(uint32_t address, const uint8_t* data, size_t length) {
    return Record(2, address, std::vector<uint8_t>(data, data + length)) + "\n";
}

std::string SRecordText(uint32_t start, const std::vector<uint8_t>& data) {
    std::string text;
    for (size_t at = 0; at < data.size(); at += 32) {
        const size_t length = data.size() - at < 32 ? data.size() - at : 32;
        text += S2Record(start + static_cast<uint32_t>(at), data.data() + at, length);
    }
    return text + "S804000000FB\n";
}

}  // namespace pelican::test
