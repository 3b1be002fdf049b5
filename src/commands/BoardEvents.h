#pragma once
// What one board's session tells whoever stands at the board besides its
// windows (a batch run, which turns them into the run's events): its page
// loops as they begin and end, its retries, and the application's own notes
// (a settings file it cannot write).
#include <cstdint>
#include <string>

#include "commands/Outcome.h"
#include "commands/RetryNote.h"

namespace pelican {

// A page loop: its title, range, the pages it visits (when it begins) or
// visited (when it ends), its outcome and duration on the port's clock.
struct PhaseRecord {
    std::string title;
    uint32_t start = 0;
    uint32_t end = 0;
    Outcome outcome = Outcome::Done;
    uint64_t milliseconds = 0;
    uint32_t pages = 0;
};

class IBoardEvents {
public:
    virtual ~IBoardEvents() = default;
    virtual void PhaseBegun(const PhaseRecord& phase) = 0;
    virtual void PhaseEnded(const PhaseRecord& phase) = 0;
    // A retry taken, a page read again, what a recovery found.
    virtual void Retry(const RetryNote& note) = 0;
    virtual void Note(const std::string& text) = 0;
};

}  // namespace pelican
