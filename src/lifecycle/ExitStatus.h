#pragma once
// How a run of the program ends: its exit status, and that status in a word.
namespace pelican {

// How batch mode ends; the window program ends with kExitDone.
enum ExitStatus : int {
    kExitDone = 0,            // every action ended without an error
    kExitFailed = 1,          // an action was refused or failed
    kExitUsage = 2,           // the command line was not understood
    kExitNoLink = 3,          // the port could not be opened, or the link was lost and not recovered
    kExitAlreadyRunning = 4,  // another copy holds the single-instance lock
    kExitNoLock = 5,          // the lock could not be made: its folder is missing or read-only
    kExitPortHeld = 6,        // another run (batch or window) holds the port
    kExitRecordFiles = 7,     // the --log file, the counter or the --store database could not be used
    // A signal that ends the program: 128 + its number, after the link is
    // back at 9600 bps (SIGHUP 129, SIGINT 130, SIGPIPE 141, SIGTERM 143).
    kExitSignalBase = 128,
};

// The exit status in a word ("ok", "port held", "not at 9600 bps", "port
// went away"): notAt9600, the board may be left at another rate;
// portWentAway, because its port failed under the run.
const char* ExitWord(int status, bool notAt9600, bool portWentAway = false);

}  // namespace pelican
