#pragma once
// A small strict JSON reader for the tests of --json: one text, one value,
// nothing after it but white space. Objects keep their keys (a key given
// twice is an error); strings come back as UTF-8 with every escape undone;
// numbers keep their text. Enough to prove that a line is JSON a consumer
// can read, without taking the writer's word for it.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pelican::test {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    std::string text;  // a string's characters, a number's digits
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> fields;

    // The value as a short text: a string as is, a number's digits,
    // true/false/null, nested values in brackets.
    std::string Show() const {
        switch (kind) {
            case Kind::Null: return "null";
            case Kind::Bool: return boolean ? "true" : "false";
            case Kind::Number:
            case Kind::String: return text;
            case Kind::Array: return "[" + std::to_string(items.size()) + "]";
            case Kind::Object: return "{" + std::to_string(fields.size()) + "}";
        }
        return std::string();
    }
};

class CJsonReader {
public:
    // False, with the position of the fault in error, when text is not one
    // JSON value.
    static bool Parse(const std::string& text, JsonValue& value, std::string& error) {
        CJsonReader reader(text);
        if (!reader.Value(value, 0)) {
            error = "bad JSON at " + std::to_string(reader.m_pos) + ": " + text;
            return false;
        }
        reader.Space();
        if (reader.m_pos != text.size()) {
            error = "text after the value at " + std::to_string(reader.m_pos) + ": " + text;
            return false;
        }
        return true;
    }

private:
    explicit CJsonReader(const std::string& text) : m_text(text) {}

    void Space() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n' ||
                                         m_text[m_pos] == '\r'))
            ++m_pos;
    }
    bool Take(char c) {
        Space();
        if (m_pos >= m_text.size() || m_text[m_pos] != c) return false;
        ++m_pos;
        return true;
    }
    bool Word(const char* word) {
        const std::string w(word);
        if (m_text.compare(m_pos, w.size(), w) != 0) return false;
        m_pos += w.size();
        return true;
    }
    bool Value(JsonValue& value, int depth) {
        if (depth > 64) return false;
        Space();
        if (m_pos >= m_text.size()) return false;
        const char c = m_text[m_pos];
        if (c == '{') return Object(value, depth);
        if (c == '[') return Array(value, depth);
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return String(value.text);
        }
        if (c == 't' || c == 'f') {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = c == 't';
            return Word(c == 't' ? "true" : "false");
        }
        if (c == 'n') return Word("null");
        return Number(value);
    }
    bool Object(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::Object;
        ++m_pos;
        if (Take('}')) return true;
        do {
            std::string key;
            Space();
            if (m_pos >= m_text.size() || m_text[m_pos] != '"' || !String(key) || !Take(':')) return false;
            JsonValue item;
            if (!Value(item, depth + 1) || !value.fields.emplace(key, item).second) return false;
        } while (Take(','));
        return Take('}');
    }
    bool Array(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::Array;
        ++m_pos;
        if (Take(']')) return true;
        do {
            value.items.emplace_back();
            if (!Value(value.items.back(), depth + 1)) return false;
        } while (Take(','));
        return Take(']');
    }
    bool Number(JsonValue& value) {
        const size_t start = m_pos;
        auto digits = [this] {
            const size_t from = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') ++m_pos;
            return m_pos - from;
        };
        if (m_pos < m_text.size() && m_text[m_pos] == '-') ++m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '0') {
            ++m_pos;
        } else if (digits() == 0) {
            return false;
        }
        if (m_pos < m_text.size() && m_text[m_pos] == '.' && (++m_pos, digits() == 0)) return false;
        if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-')) ++m_pos;
            if (digits() == 0) return false;
        }
        value.kind = JsonValue::Kind::Number;
        value.text = m_text.substr(start, m_pos - start);
        return true;
    }
    bool Hex4(uint32_t& code) {
        if (m_pos + 4 > m_text.size()) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos++];
            const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (d < 0) return false;
            code = code << 4 | static_cast<uint32_t>(d);
        }
        return true;
    }
    static void Utf8(uint32_t code, std::string& out) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    bool String(std::string& out) {
        ++m_pos;  // the opening quote
        while (m_pos < m_text.size()) {
            const auto c = static_cast<unsigned char>(m_text[m_pos++]);
            if (c == '"') return true;
            if (c < 0x20) return false;  // control characters must be escaped
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (m_pos >= m_text.size()) return false;
            const char e = m_text[m_pos++];
            static const std::string kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
            if (const size_t at = kFrom.find(e); at != std::string::npos) {
                out += kTo[at];
                continue;
            }
            uint32_t code = 0;
            if (e != 'u' || !Hex4(code)) return false;
            if (code >= 0xD800 && code < 0xDC00) {
                uint32_t low = 0;
                if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low >= 0xE000) return false;
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code < 0xE000) {
                return false;
            }
            Utf8(code, out);
        }
        return false;
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

}  // namespace pelican::test
