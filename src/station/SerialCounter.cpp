#include "station/SerialCounter.h"

#include <limits>

#include "sys/LockWait.h"
#include "sys/LockedFile.h"

namespace pelican {
namespace {

// What the counter file holds, shown short enough for one line.
std::string Shown(const std::string& text) {
    std::string shown;
    for (const char c : text.substr(0, 20)) shown += c >= 0x20 && c < 0x7F ? c : '?';
    return "\"" + shown + (text.size() > 20 ? "...\"" : "\"");
}

bool Read(CLockedFile& file, const std::string& path, uint64_t& value, std::string& error) {
    std::string text;
    std::string why;
    if (!file.ReadAll(text, why)) {
        error = "the counter file " + path + " could not be read: " + why;
        return false;
    }
    if (!CSerialCounter::ParseValue(text, value, why)) {
        error = "the counter file " + path + " " + why;
        return false;
    }
    return true;
}

// Opens the counter and takes its lock; false, with why in error.
bool OpenLocked(CLockedFile& file, const std::string& path, const CLockWait& wait, std::string& error) {
    std::string why;
    if (!file.Open(path, CLockedFile::Mode::Update, why)) {
        // A missing file is never taken for 0: the line's real counter may
        // be elsewhere, and its numbers would be given a second time.
        error = "the counter file " + path + " could not be opened: " + why +
                " (it must exist and hold the next number, e.g. 1)";
        return false;
    }
    if (wait.Lock(file, why) == CLockWait::Result::Locked) return true;
    error = "the counter file " + path + " could not be locked: " + why;
    return false;
}

}  // namespace

bool CSerialCounter::ParseValue(const std::string& text, uint64_t& value, std::string& error) {
    size_t end = text.find_first_not_of("0123456789");
    if (end == std::string::npos) end = text.size();
    if (end == 0) {
        error = text.empty() ? "is empty: it must hold the next number" : "holds " + Shown(text) + ", not a number";
        return false;
    }
    if (text.find_first_not_of(" \t\r\n", end) != std::string::npos) {
        error = "holds " + Shown(text) + ", not a number";
        return false;
    }
    // The one after it must be written back, so the largest is one less
    // than the most 64 bits hold.
    constexpr uint64_t kLargest = std::numeric_limits<uint64_t>::max() - 1;
    uint64_t parsed = 0;
    for (size_t i = 0; i < end; ++i) {
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (parsed > (kLargest - digit) / 10) {
            error = "holds a number too large";
            return false;
        }
        parsed = parsed * 10 + digit;
    }
    value = parsed;
    return true;
}

bool CSerialCounter::Peek(const std::string& path, const CLockWait& wait, uint64_t& value, std::string& error) {
    CLockedFile file;
    return OpenLocked(file, path, wait, error) && Read(file, path, value, error);
}

bool CSerialCounter::Take(const std::string& path, const CLockWait& wait, const Accept& accept, uint64_t& value,
                          std::string& error, const Accept& trace) {
    CLockedFile file;
    if (!OpenLocked(file, path, wait, error)) return false;
    std::string why;
    uint64_t next = 0;
    if (!Read(file, path, next, error)) return false;
    if (accept && !accept(next, error)) return false;
    if (!file.Overwrite(std::to_string(next + 1) + "\n", why) || !file.Sync(why)) {
        error = "the counter file " + path + " could not be written: " + why;
        return false;
    }
    // The counter moves first: a process killed between the two writes
    // leaves a number past which the counter has gone with no trace, and
    // such a number reached no board. The other order would leave a trace
    // of a number the counter still holds, which the next board would get
    // as well.
    if (trace && !trace(next, error)) return false;
    value = next;
    return true;
}

}  // namespace pelican
