#include "lifecycle/ExitStatus.h"

#include <signal.h>

namespace pelican {

const char* ExitWord(int status, bool notAt9600, bool portWentAway) {
    // Status 3 also stands for a board that may be left at another rate:
    // the next run needs it reset first. A port that failed under the run
    // is no rate the board refused: its cable or adapter is the matter.
    if (portWentAway && notAt9600 && status == kExitNoLink) return "port went away";
    if (notAt9600 && status == kExitNoLink) return "not at 9600 bps";
    switch (status) {
        case kExitDone: return "ok";
        case kExitFailed: return "failed";
        case kExitUsage: return "usage";
        case kExitNoLink: return "no link";
        case kExitAlreadyRunning: return "already running";
        case kExitNoLock: return "no lock";
        case kExitPortHeld: return "port held";
        case kExitRecordFiles: return "log or counter unusable";
        case kExitSignalBase + SIGINT: return "interrupted";
        default: return status > kExitSignalBase ? "signal" : "failed";
    }
}

}  // namespace pelican
