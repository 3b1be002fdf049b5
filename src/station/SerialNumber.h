#pragma once
// --serial-number ADDR:FORMAT:COUNTERFILE: where a board's own number goes
// in the flash, how it is written there, and the file that holds the next
// number to give.
#include <cstdint>
#include <string>
#include <vector>

namespace pelican {

class CSerialNumber {
public:
    enum class Format { Le16, Le32, Be16, Be32, Ascii };

    // "FFF00:le32:/var/lib/line/counter", "0x0C0100:ascii8:C:\line\counter"
    // (everything after the second colon names the file). False, with the
    // reason in error, for an address that is not hexadecimal or whose
    // bytes pass FFFFFF, an unknown format, asciiN outside 1 to 19 digits,
    // or no file.
    static bool Parse(const std::string& text, CSerialNumber& result, std::string& error);

    uint32_t Address() const { return m_address; }
    // The address of the number's last byte.
    uint32_t LastAddress() const { return m_address + static_cast<uint32_t>(Size()) - 1; }
    const std::string& CounterPath() const { return m_counter; }
    // Bytes the number takes in the flash.
    size_t Size() const;
    // The largest number the format holds: 65535 for le16, 10^N - 1 for asciiN.
    uint64_t Largest() const;
    // "le16", "be32", "ascii8".
    std::string FormatText() const;

    // The bytes of value: little- or big-endian binary, or N decimal digits
    // zero-padded on the left. False, with why in error, when value does
    // not fit.
    bool Encode(uint64_t value, std::vector<uint8_t>& bytes, std::string& error) const;

private:
    uint32_t m_address = 0;
    Format m_format = Format::Le32;
    unsigned m_digits = 0;  // asciiN
    std::string m_counter;
};

}  // namespace pelican
