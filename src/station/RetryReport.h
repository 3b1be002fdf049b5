#pragma once
// How batch mode tells a retry, a page read again and what a page whose
// status never came was found to hold: one line on standard error, or one
// JSON object with --json.
#include <string>

#include "commands/RetryBudget.h"

namespace pelican {

class CRetryReport {
public:
    // "retry 1 of 3: page program status at 0C0500: no reply; read the page back",
    // "page read at 0C0500: reads disagree; read 3 of 4",
    // "page 0C0500 read back: blank; program it again".
    static std::string Text(const RetryNote& note);
    // {"event":"retry","retry":1,"of":3,"exchange":...,"address":...,"failed":...,"next":...},
    // {"event":"reread",...,"read":3,"of":4} and {"event":"read_back","address":...,"found":...,"next":...}.
    static std::string Json(const RetryNote& note);
};

}  // namespace pelican
