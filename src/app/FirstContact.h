#pragma once
// Who decides, at start-up, what becomes of a board that does not answer.
// The window program has nobody here: it shows "Push RESET." and the "Set
// baudrate" dialog, as it always has. Batch mode says in one line what was
// tried and what to check, and ends at once or, on a terminal, has the
// board reset and tries once more.
#include <cstdint>

#include "link/Exchange.h"

namespace pelican {

class IFirstContact {
public:
    virtual ~IFirstContact() = default;

    // The synchronisation at 9600 bps got no answer, or a wrong one: true
    // when the board has been reset and start-up should synchronise once
    // more, false to end start-up (nothing more is sent).
    virtual bool NoAnswer(const SyncResult& result) = 0;
    // The board answered the synchronisation but did not take the stored
    // rate; start-up goes on at 9600 bps.
    virtual void StoredRateRefused(uint32_t rate) = 0;
    // The board stopped answering on its way to the stored rate (taken: it
    // echoed the rate's code, so it runs at that rate now). True when it has
    // been reset and start-up should synchronise again at 9600 bps.
    virtual bool StoredRateLost(uint32_t rate, bool taken) = 0;
};

}  // namespace pelican
