#pragma once
// One line of a Motorola S-record file: 'S', the type digit, then the count,
// the address, the data and the checksum as pairs of hexadecimal digits.
// The count covers address, data and checksum; the checksum is the ones'
// complement of the sum of count, address and data bytes.
#include <cstddef>
#include <cstdint>

#include "image/LoadOutcome.h"

namespace pelican {

class CSRecordLine {
public:
    // The line is read where it lies: it must outlive this object.
    CSRecordLine(const char* text, size_t length) : m_text(text), m_length(length) {}

    // The digit after 'S' (0 to 15), or -1 when there is none.
    int Type() const { return Digit(1); }

    // For S1, S2 and S3 (2, 3, 4 address bytes): decodes address and data.
    // BadRecord when a field is not hexadecimal, the line ends before the
    // checksum its count places, or the data reach past the 24-bit address
    // space; BadChecksum (only with verifyChecksum) when the checksum does
    // not match; None with Address() and Data() set.
    LoadRefusal DecodeData(bool verifyChecksum);
    uint32_t Address() const { return m_address; }
    const uint8_t* Data() const { return m_data; }
    size_t DataLength() const { return m_dataLength; }

    // For S0 and S4 to S9, which carry nothing into the image: true when
    // their fields are hexadecimal and the checksum does not match them.
    bool ChecksumDamaged() const;

private:
    // A position past the line's end is not a hexadecimal digit.
    int Digit(size_t pos) const;
    // The byte written as two digits from pos on, or -1.
    int Byte(size_t pos) const;
    bool ChecksumMatches(size_t pos, unsigned sum) const;

    const char* m_text;
    size_t m_length;
    uint32_t m_address = 0;
    size_t m_dataLength = 0;
    uint8_t m_data[256] = {};
};

}  // namespace pelican
