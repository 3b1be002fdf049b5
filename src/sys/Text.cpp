#include "sys/Text.h"

#include <cctype>
#include <cstdint>

namespace pelican {

int32_t ParseDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint32_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

}  // namespace pelican

namespace pelican {

int32_t ParseDigits(const std::string& text) {
    int64_t value = 0;
    for (size_t i = 0; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX) return INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

}  // namespace pelican

namespace pelican {

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    const size_t from = text.size() - suffix.size();
    for (size_t i = 0; i < suffix.size(); ++i) {
        char a = text[from + i];
        char b = suffix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace pelican

namespace pelican {

std::string Latin1ToUtf8(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string EscapeForTerminal(const std::string& bytes) {
    static const char* const kDigits = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '\\': text += "\\\\"; continue;
            case '\n': text += "\\n"; continue;
            case '\r': text += "\\r"; continue;
            case '\t': text += "\\t"; continue;
            default: break;
        }
        if (byte >= 0x20 && byte < 0x7F) {
            text += c;
            continue;
        }
        text += "\\x";
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::string EscapeControls(const std::string& text) {
    static const char* const kDigits = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    const auto hex = [&escaped](unsigned char byte) {
        escaped += "\\x";
        escaped += kDigits[byte >> 4];
        escaped += kDigits[byte & 15];
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            hex(byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            // U+0080 to U+009F: CSI among them starts a sequence as ESC [ does.
            hex(byte);
            hex(next);
            ++i;
        } else {
            escaped += text[i];
        }
    }
    return escaped;
}

}  // namespace pelican
