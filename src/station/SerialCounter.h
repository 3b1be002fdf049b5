#pragma once
// The counter file of --serial-number: decimal text holding the next number
// to give. A number is taken under the file's lock, and the file holds the
// one after it (on the disk) before the board that got it is programmed:
// a number is never given twice, even to a board that then fails, and
// several stations may share the file.
#include <cstdint>
#include <functional>
#include <string>

namespace pelican {

class CLockWait;

class CSerialCounter {
public:
    // The counter file's text: decimal digits, then at most a line end and
    // blanks ("17", "17\n", "17\r\n"). False, with why in error, for an
    // empty file, anything else, or a number past 18446744073709551614.
    static bool ParseValue(const std::string& text, uint64_t& value, std::string& error);

    // The number the file holds, without taking it. Its lock is waited for
    // as wait says: false, with why, when it cannot be had.
    static bool Peek(const std::string& path, const CLockWait& wait, uint64_t& value, std::string& error);

    // Whether a number may be given; false with why in error.
    using Accept = std::function<bool(uint64_t value, std::string& error)>;

    // Under the lock: reads the number, asks accept, writes the one after
    // it and flushes it to the disk, then, still under the lock, has trace
    // leave the number's trace elsewhere (the log's "taken" line). The
    // number taken, or false with why: the file is then as it was, unless
    // its flush or the trace failed (the number is then used up, given to
    // no board).
    static bool Take(const std::string& path, const CLockWait& wait, const Accept& accept, uint64_t& value,
                     std::string& error, const Accept& trace = nullptr);
};

}  // namespace pelican
