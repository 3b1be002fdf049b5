#pragma once
// The signals that end batch mode: Ctrl-C (SIGINT), SIGTERM, SIGHUP, and
// SIGPIPE when standard output is closed under it (`pelican ... | head -1`).
// The handlers only note them; the program acts at its next safe point,
// between exchanges with the board: the first Ctrl-C cancels a running page
// loop, a second one or any of the others brings the link back to 9600 bps
// (else the board stays at the higher rate and the next run cannot reach
// it), releases the port and ends the program.
namespace pelican {

class CSignalStop {
public:
    // Takes the four signals (SIGPIPE then no longer kills) and forgets any
    // noted before. Waits such as poll and sleep return early on them.
    static void Install();
    // Gives the signals back their previous handling.
    static void Uninstall();

    // How many times Ctrl-C was pressed.
    static int Interrupts();
    // The signal that ends the program: SIGTERM, SIGHUP or SIGPIPE as soon
    // as one came, SIGINT once Ctrl-C was pressed twice; 0 while none did.
    static int EndingSignal();
    // The signal's usual name ("SIGTERM").
    static const char* Name(int signal);
};

}  // namespace pelican
