#include "image/SRecordLine.h"

#include <array>

#include "image/MotFile.h"

namespace pelican {
namespace {

// Value of each character as a hexadecimal digit, -1 for any other.
constexpr std::array<int8_t, 256> kHexValue = [] {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    for (int c = 0; c < 10; ++c) table['0' + c] = static_cast<int8_t>(c);
    for (int c = 0; c < 6; ++c) {
        table['A' + c] = static_cast<int8_t>(10 + c);
        table['a' + c] = static_cast<int8_t>(10 + c);
    }
    return table;
}();

}  // namespace

int CSRecordLine::Digit(size_t pos) const {
    return pos < m_length ? kHexValue[static_cast<uint8_t>(m_text[pos])] : -1;
}

int CSRecordLine::Byte(size_t pos) const {
    const int high = Digit(pos);
    const int low = Digit(pos + 1);
    return (high | low) < 0 ? -1 : (high << 4) | low;
}

bool CSRecordLine::ChecksumMatches(size_t pos, unsigned sum) const {
    // A missing or malformed checksum never matches.
    const int checksum = Byte(pos);
    return checksum >= 0 && ((sum + static_cast<unsigned>(checksum)) & 0xFF) == 0xFF;
}

bool CSRecordLine::ChecksumDamaged() const {
    // A damaged record says the file was damaged, even one that carries
    // nothing, where its fields are hexadecimal at all.
    const int type = Type();
    if (type < 0 || type > 9) return false;
    const int count = Byte(2);
    if (count < 1) return false;
    unsigned sum = static_cast<unsigned>(count);
    for (int i = 0; i + 1 < count; ++i) {
        const int value = Byte(4 + 2 * static_cast<size_t>(i));
        if (value < 0) return false;
        sum += static_cast<unsigned>(value);
    }
    const size_t checksumPos = 4 + 2 * static_cast<size_t>(count - 1);
    return Byte(checksumPos) >= 0 && !ChecksumMatches(checksumPos, sum);
}

LoadRefusal CSRecordLine::DecodeData(bool verifyChecksum) {
    const unsigned type = static_cast<unsigned>(Type());
    const int count = Byte(2);
    if (count < 0) return LoadRefusal::BadRecord;
    unsigned sum = static_cast<unsigned>(count);
    // S1, S2, S3 carry 2, 3, 4 address bytes, most significant first.
    uint32_t address = 0;
    for (unsigned i = 0; i <= type; ++i) {
        const int value = Byte(4 + 2 * i);
        if (value < 0) return LoadRefusal::BadRecord;
        address = (address << 8) | static_cast<uint32_t>(value);
        sum += static_cast<unsigned>(value);
    }
    // A count too small for the address wraps to a long record, which the
    // line must then carry.
    const size_t dataLength = static_cast<size_t>((count - static_cast<int>(type) - 2) & 0xFF);
    // A record reaching past the address space has no place in the image
    // and is refused as a whole.
    if (address >= CMotFile::kAddressLimit || dataLength > CMotFile::kAddressLimit - address) return LoadRefusal::BadRecord;
    const size_t dataPos = 2 * type + 6;
    for (size_t i = 0; i < dataLength; ++i) {
        const int value = Byte(dataPos + 2 * i);
        if (value < 0) return LoadRefusal::BadRecord;
        m_data[i] = static_cast<uint8_t>(value);
        sum += static_cast<unsigned>(value);
    }
    // A record shorter than its count was cut, not damaged in a digit: it
    // is refused even when checksums are not verified (verified, its
    // missing checksum does not match).
    const size_t checksumPos = dataPos + 2 * dataLength;
    if (!verifyChecksum && Byte(checksumPos) < 0) return LoadRefusal::BadRecord;
    // A flipped digit in transit still decodes; only the checksum tells.
    if (verifyChecksum && !ChecksumMatches(checksumPos, sum)) return LoadRefusal::BadChecksum;
    m_address = address;
    m_dataLength = dataLength;
    return LoadRefusal::None;
}

}  // namespace pelican
