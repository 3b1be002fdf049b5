#pragma once
// The record of one board's run that --log appends: one JSON object on one
// line, saying where and when, which file (and its SHA-256) went onto which
// adapter's board, each action and page loop with its outcome and time,
// what the board answered, the serial number it was given and how the run
// ended.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pelican {

class CRunRecord {
public:
    // A page loop of an action: its title and range, the pages it went
    // through of those it was to visit.
    struct Range {
        std::string action;
        std::string title;  // "Program", "Read Check", ...
        uint32_t start = 0;
        uint32_t end = 0;
        uint32_t pages = 0;
        uint32_t due = 0;
        std::string outcome;
    };
    struct Action {
        std::string name;
        std::string outcome;  // "done", "failed", ..., "interrupted"
        uint64_t milliseconds = 0;
    };
    struct Serial {
        uint64_t value = 0;
        uint32_t address = 0;
        std::string format;
        std::vector<uint8_t> bytes;
    };

    std::string time;
    std::string host;
    std::string port;
    std::string usbSerial;  // the adapter's serial number; empty: none
    std::string file;       // empty: no file named
    std::string sha256;     // of the file; empty when it could not be read
    std::vector<Range> ranges;
    std::vector<Action> actions;
    std::optional<std::string> version;
    std::optional<std::array<uint8_t, 2>> status;
    // Whether --serial-number was given, and the number the board got.
    bool numbered = false;
    std::optional<Serial> serial;
    std::string outcome;
    int exit = 0;
    // Not in the JSON line. A random id made at the start of the run, that
    // a database keeps the board's row under (a record sent twice lands
    // once), and the time the run ended.
    std::string runId;
    std::string finished;

    // The object on one line, without its line end.
    std::string Text() const;
    // The parts of the object as JSON: the page loops' array, the actions'
    // array, the two status bytes ("[128,0]", empty when not read).
    std::string RangesJson() const;
    std::string ActionsJson() const;
    std::string StatusJson() const;
    // The number's bytes in hexadecimal ("11000000").
    static std::string SerialBytesHex(const Serial& serial);
    // The line that says a number was taken for the board, written under
    // the counter's lock before the board is touched: time, host, port,
    // adapter and the number, without its line end.
    std::string TakenText(const Serial& taken) const;
};

}  // namespace pelican
