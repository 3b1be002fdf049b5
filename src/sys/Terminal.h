#pragma once
// Whether a standard stream is a terminal a person types at and reads: the
// batch mode asks its questions there and draws its progress bar there.
// On Windows that is the console, as the console API tells it: the C
// runtime's isatty is true for every character device, NUL and a COM port
// included, so `pelican ... < NUL` would wait for an answer nobody gives.
namespace pelican {

enum class StandardStream { Input, Output, Error };

bool IsTerminal(StandardStream stream);

// Whether the stream is a terminal that takes escape sequences (the cursor
// moved up, lines cleared), as a gang's lines drawn in place need. A
// Windows console takes them only once its mode asks for them, which the
// batch console does where the console can.
bool DrawsEscapes(StandardStream stream);

// The size of the window a terminal shows, in characters; 0 and 0 when the
// stream is no terminal or the system does not tell.
struct TerminalSize {
    int columns = 0;
    int rows = 0;
};
TerminalSize SizeOf(StandardStream stream);

}  // namespace pelican
