#pragma once
// One retry, or what a retry found out, as the user is told it.
#include <cstdint>
#include <string>

namespace pelican {

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

}  // namespace pelican
