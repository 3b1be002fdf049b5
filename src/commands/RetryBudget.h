#pragma once
// How many times a run may go on after an exchange with the board failed
// (batch mode's --retries; none unless asked for) and how many it has used;
// each is told to the board's session. The application owns one, so each
// port has its own: nothing of it is shared between boards.
#include "commands/BoardSession.h"
#include "commands/RetryNote.h"

namespace pelican {

class CRetryBudget {
public:
    explicit CRetryBudget(BoardSession& session) : m_session(session) {}

    void SetLimit(unsigned limit) { m_limit = limit; }
    unsigned Limit() const { return m_limit; }
    unsigned Left() const { return m_limit - m_taken; }
    // Takes one retry for note and tells it, numbered; false, and nothing
    // told, when none is left.
    bool Take(RetryNote note);
    // Tells what a retry found, or a page read again (not counted).
    void Tell(const RetryNote& note) const;

    // The status after the last recovery showed a program or erase failure:
    // the board wrote flash nobody sent it.
    bool m_strayWrite = false;

private:
    BoardSession& m_session;
    unsigned m_limit = 0;
    unsigned m_taken = 0;
};

}  // namespace pelican
