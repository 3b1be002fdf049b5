#include "station/SerialNumber.h"

#include "station/BatchOptions.h"

namespace pelican {

bool CSerialNumber::Parse(const std::string& text, CSerialNumber& result, std::string& error) {
    const size_t first = text.find(':');
    const size_t second = first == std::string::npos ? std::string::npos : text.find(':', first + 1);
    if (second == std::string::npos) {
        error = "expected ADDR:FORMAT:COUNTERFILE, e.g. FFF00:le32:counter.txt";
        return false;
    }
    CSerialNumber parsed;
    if (!ParseHexAddress(text.substr(0, first), parsed.m_address)) {
        error = "the address must be hexadecimal, up to FFFFFF";
        return false;
    }
    const std::string format = text.substr(first + 1, second - first - 1);
    static const std::pair<const char*, Format> kBinary[] = {
        {"le16", Format::Le16}, {"le32", Format::Le32}, {"be16", Format::Be16}, {"be32", Format::Be32}};
    bool known = false;
    for (const auto& [name, value] : kBinary) {
        if (format == name) {
            parsed.m_format = value;
            known = true;
        }
    }
    if (!known && format.size() > 5 && format.compare(0, 5, "ascii") == 0 && format.size() <= 7 &&
        format.find_first_not_of("0123456789", 5) == std::string::npos) {
        parsed.m_format = Format::Ascii;
        parsed.m_digits = static_cast<unsigned>(std::stoul(format.substr(5)));
        // Nineteen digits is the most a 64-bit counter always holds.
        known = parsed.m_digits >= 1 && parsed.m_digits <= 19;
    }
    if (!known) {
        error = "the format must be le16, le32, be16, be32 or asciiN (N digits, 1 to 19)";
        return false;
    }
    parsed.m_counter = text.substr(second + 1);
    if (parsed.m_counter.empty()) {
        error = "no counter file given after the format";
        return false;
    }
    if (parsed.m_address + parsed.Size() - 1 > 0xFFFFFF) {
        error = "the number's bytes pass the end of the address space (FFFFFF)";
        return false;
    }
    result = parsed;
    return true;
}

size_t CSerialNumber::Size() const {
    switch (m_format) {
        case Format::Le16:
        case Format::Be16: return 2;
        case Format::Le32:
        case Format::Be32: return 4;
        case Format::Ascii: return m_digits;
    }
    return 0;
}

uint64_t CSerialNumber::Largest() const {
    if (m_format != Format::Ascii) return Size() == 2 ? 0xFFFF : 0xFFFFFFFF;
    uint64_t largest = 1;
    for (unsigned i = 0; i < m_digits; ++i) largest *= 10;
    return largest - 1;
}

std::string CSerialNumber::FormatText() const {
    switch (m_format) {
        case Format::Le16: return "le16";
        case Format::Le32: return "le32";
        case Format::Be16: return "be16";
        case Format::Be32: return "be32";
        case Format::Ascii: return "ascii" + std::to_string(m_digits);
    }
    return std::string();
}

bool CSerialNumber::Encode(uint64_t value, std::vector<uint8_t>& bytes, std::string& error) const {
    if (value > Largest()) {
        error = std::to_string(value) + " does not fit " + FormatText() + " (0 to " + std::to_string(Largest()) + ")";
        return false;
    }
    const size_t size = Size();
    bytes.assign(size, 0);
    for (size_t i = 0; i < size; ++i) {
        switch (m_format) {
            case Format::Le16:
            case Format::Le32: bytes[i] = static_cast<uint8_t>(value >> (8 * i)); break;
            case Format::Be16:
            case Format::Be32: bytes[size - 1 - i] = static_cast<uint8_t>(value >> (8 * i)); break;
            case Format::Ascii:
                bytes[size - 1 - i] = static_cast<uint8_t>('0' + value % 10);
                value /= 10;
                break;
        }
    }
    return true;
}

}  // namespace pelican
