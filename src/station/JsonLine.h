#pragma once
// One JSON object on one line, built field by field: what --json prints for
// each event of a batch run.
#include <cstdint>
#include <string>
#include <vector>

namespace pelican {

class CJsonLine {
public:
    explicit CJsonLine(const std::string& event);
    // A plain object, without an event.
    CJsonLine() : m_text("{") {}
    CJsonLine& Add(const std::string& key, const std::string& value);
    CJsonLine& Add(const std::string& key, const char* value) { return Add(key, std::string(value)); }
    CJsonLine& Add(const std::string& key, int64_t value);
    CJsonLine& Add(const std::string& key, bool value);
    // An array of strings.
    CJsonLine& Add(const std::string& key, const std::vector<std::string>& values);
    // A value already in JSON (an array or object built with Quote).
    CJsonLine& AddJson(const std::string& key, const std::string& json);
    // The object, closed, without a line break.
    std::string Text() const { return m_text + "}"; }

    // line (a Text()) with key and the string value put in after its
    // event; a line that is no event is returned as it is.
    static std::string WithField(const std::string& line, const std::string& key, const std::string& value);

    // value as a JSON string literal: quotes, backslashes and control
    // characters escaped; bytes that are not valid UTF-8 become U+FFFD.
    static std::string Quote(const std::string& value);

private:
    void Key(const std::string& key);
    std::string m_text;
};

}  // namespace pelican
