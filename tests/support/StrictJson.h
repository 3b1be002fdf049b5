#pragma once
// The --json lines and the records read back by nlohmann's JSON parser, a
// reader the program's own writer has no part in: a text that is not one
// JSON value (bad UTF-8, a raw control character, text after the value)
// fails. So does an object that gives a key twice: the parser would keep one
// of the two silently, and a consumer could read either.
#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <vector>

namespace pelican::test {

// False, with the reason in error, when text is not one JSON value or one of
// its objects gives a key twice.
inline bool ParseJson(const std::string& text, nlohmann::json& value, std::string& error) {
    using Event = nlohmann::json::parse_event_t;
    std::vector<std::set<std::string>> keys;  // the keys of each object being read, innermost last
    std::string twice;
    bool repeated = false;
    const nlohmann::json::parser_callback_t note = [&](int, Event event, nlohmann::json& parsed) {
        if (event == Event::object_start) {
            keys.emplace_back();
        } else if (event == Event::object_end) {
            keys.pop_back();
        } else if (event == Event::key && !keys.back().insert(parsed.get<std::string>()).second && !repeated) {
            repeated = true;
            twice = parsed.get<std::string>();
        }
        return true;
    };
    try {
        value = nlohmann::json::parse(text, note);
    } catch (const nlohmann::json::parse_error& e) {
        error = std::string(e.what()) + ": " + text;
        return false;
    }
    if (repeated) error = "key \"" + twice + "\" given twice: " + text;
    return !repeated;
}

// A value as a short text: a string as it is, anything else as JSON.
inline std::string Show(const nlohmann::json& value) {
    return value.is_string() ? value.get<std::string>() : value.dump();
}

}  // namespace pelican::test
