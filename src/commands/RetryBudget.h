#pragma once
// How many times a run may go on after an exchange with the board failed
// (batch mode's --retries; none unless asked for), how many it has used, and
// whoever is told of each. The application owns one, so each port has its
// own: nothing of it is shared between boards.
#include <cstdint>
#include <functional>
#include <string>

namespace pelican {

// One retry, or what a retry found out, as the user is told it.
struct RetryNote {
    enum class Kind {
        Retry,     // counted: the job goes on after a failure
        Reread,    // a page read once more, because its reads disagreed
        ReadBack,  // what the page whose status never came holds
        Found,     // what the status after a recovery shows
    };
    Kind kind = Kind::Retry;
    std::string exchange;  // "page read", "page program status", ...
    bool hasAddress = false;
    uint32_t address = 0;  // the page's first address, or the byte's that differs
    std::string failed;    // "no reply", "line error", "reads disagree", ...
    std::string next;      // what follows: "read it again", ...
    unsigned number = 0;   // this retry's number (or this read's)
    unsigned limit = 0;    // of how many
};

class CRetryBudget {
public:
    void SetLimit(unsigned limit) { m_limit = limit; }
    unsigned Limit() const { return m_limit; }
    unsigned Left() const { return m_limit - m_taken; }
    // Takes one retry for note and tells it, numbered; false, and nothing
    // told, when none is left.
    bool Take(RetryNote note);
    // Tells what a retry found, or a page read again (not counted).
    void Tell(const RetryNote& note) const;

    std::function<void(const RetryNote&)> m_onNote;
    // The status after the last recovery showed a program or erase failure:
    // the board wrote flash nobody sent it.
    bool m_strayWrite = false;

private:
    unsigned m_limit = 0;
    unsigned m_taken = 0;
};

}  // namespace pelican
