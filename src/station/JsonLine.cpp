#include "station/JsonLine.h"

#include <cstdio>

namespace pelican {
namespace {

// Length of the valid UTF-8 sequence at text[pos], or 0.
size_t Utf8Length(const std::string& text, size_t pos) {
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    size_t length = 0;
    uint32_t code = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (pos + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(pos + i) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

CJsonLine::CJsonLine(const std::string& event) : m_text("{\"event\":" + Quote(event)) {}

void CJsonLine::Key(const std::string& key) {
    if (m_text.size() > 1) m_text += ',';
    m_text += Quote(key);
    m_text += ':';
}

CJsonLine& CJsonLine::Add(const std::string& key, const std::string& value) {
    Key(key);
    m_text += Quote(value);
    return *this;
}

CJsonLine& CJsonLine::Add(const std::string& key, int64_t value) {
    Key(key);
    m_text += std::to_string(value);
    return *this;
}

CJsonLine& CJsonLine::Add(const std::string& key, bool value) {
    Key(key);
    m_text += value ? "true" : "false";
    return *this;
}

CJsonLine& CJsonLine::Add(const std::string& key, const std::vector<std::string>& values) {
    std::string array = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) array += ',';
        array += Quote(values[i]);
    }
    array += ']';
    return AddJson(key, array);
}

CJsonLine& CJsonLine::AddJson(const std::string& key, const std::string& json) {
    Key(key);
    m_text += json;
    return *this;
}

std::string CJsonLine::Quote(const std::string& value) {
    std::string text = "\"";
    for (size_t pos = 0; pos < value.size();) {
        const char c = value[pos];
        const size_t length = Utf8Length(value, pos);
        if (length == 0) {
            text += "\\ufffd";
            ++pos;
            continue;
        }
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            text += escaped;
        } else {
            text.append(value, pos, length);
        }
        pos += length;
    }
    return text + "\"";
}

std::string CJsonLine::WithField(const std::string& line, const std::string& key, const std::string& value) {
    // An event's name is a word of our own: its closing quote is the next one.
    static const std::string kEvent = "{\"event\":\"";
    if (line.compare(0, kEvent.size(), kEvent) != 0) return line;
    const size_t close = line.find('"', kEvent.size());
    if (close == std::string::npos) return line;
    return line.substr(0, close + 1) + "," + Quote(key) + ":" + Quote(value) + line.substr(close + 1);
}

}  // namespace pelican
