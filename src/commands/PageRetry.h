#pragma once
// How a command goes on after an exchange with the board failed, when the
// run allows retries (batch mode's --retries). The failed exchange has run
// the recovery, which asks for the board's RESET and brings the link back;
// a board reset has forgotten its ID check, so it is given the ID again
// where the target has one, and the job goes on where it failed. Without
// retries nothing here changes what a command does.
#include <optional>
#include <string>

#include "commands/Outcome.h"
#include "commands/AppHost.h"

namespace pelican {

class CPageRetry {
public:
    explicit CPageRetry(IAppHost& host) : m_host(host) {}

    // Whether the run allows retries at all.
    bool Enabled();
    // How many reads a page gets to find two that agree: one more than the
    // retries the run allows, and at least atLeast.
    unsigned ReadLimit(unsigned atLeast);

    // After a failed exchange whose recovery has run: takes a retry for
    // note (told), reads the status and passes the ID check again where the
    // target has one and the board forgot it. True when the job may go on;
    // false when nobody reset the board, the link did not come back, no
    // retry is left, the status shows a program or erase failure
    // (StrayWrite) or the device refused the ID ("Not match ID.").
    bool Resume(RetryNote note);
    // Whether the last Resume stopped at a program or erase failure bit in
    // the status after the recovery: the board wrote flash that was not
    // asked of it since the failure, inside the range or outside it.
    bool StrayWrite();
    // Takes a retry for note where no recovery is needed (a start over);
    // false when none is left.
    bool Take(RetryNote note);
    // Tells what is no retry of its own: a page read once more, what a page
    // read back holds.
    void Tell(const RetryNote& note);

    // Whether a retry is left to take.
    bool Left();

    // A note about the page (or byte) at address; none: the exchange names
    // no address.
    static RetryNote Note(const std::string& exchange, std::optional<uint32_t> address, const std::string& failed,
                          const std::string& next);
    // How a failed read is told: "no reply", "line error", "port failed".
    static const char* Failure(ReadResult why);

private:
    enum class After { Passed, Lost, Refused };
    After LookAfterRecovery(ReadResult& why);
    After PassIdAgain(ReadResult& why);

    IAppHost& m_host;
};

}  // namespace pelican
