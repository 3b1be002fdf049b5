#pragma once
// The signals that end the program: Ctrl-C (SIGINT), SIGTERM, SIGHUP, and
// SIGPIPE when standard output is closed under it (`pelican ... | head -1`);
// on a Windows console, Ctrl-C, Ctrl-Break and the console closing, taken
// as SIGINT, SIGTERM and SIGHUP. The handlers only note them (and wake an event loop through a pipe); the
// program acts on them at its next point between exchanges with the board
// (CSignalEnding). In batch mode the first Ctrl-C cancels a running page
// loop and only a second one ends the program; in the window program the
// first one ends it.
namespace pelican {

class CSignalStop {
public:
    // Takes the four signals (SIGPIPE then no longer kills) and forgets any
    // noted before. Waits such as poll and sleep return early on them.
    // interruptsToEnd: how many Ctrl-C end the program (2 in batch mode).
    static void Install(int interruptsToEnd = 2);
    // Gives the signals back their previous handling.
    static void Uninstall();

    // How many times Ctrl-C was pressed.
    static int Interrupts();
    // The signal that ends the program: SIGTERM, SIGHUP or SIGPIPE as soon
    // as one came, SIGINT once Ctrl-C was pressed often enough; 0 while none did.
    static int EndingSignal();
    // How many times SIGINT, SIGTERM or SIGHUP came after the ending signal:
    // someone asking again not to wait.
    static int Again();
    // Readable (one byte a signal) whenever a signal came: an event loop
    // watches it. -1 when the pipe could not be made, and on Windows, where
    // the thread that takes an event posts a message instead.
    static int WakeFd();
    // Empties WakeFd once the event loop saw it readable.
    static void DrainWake();
    // The signal's usual name ("SIGTERM").
    static const char* Name(int signal);
};

}  // namespace pelican
