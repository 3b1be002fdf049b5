#pragma once
// The console of a batch run, as the console API tells it and as the run
// needs it: output in UTF-8 (file names, the board's texts), and QuickEdit
// off, since a click into a console with QuickEdit on starts a selection
// that stops the program at its next write until the user presses a key:
// a run would stand still with the board at the high rate. Escape
// sequences on standard error, where the console takes them (a gang draws
// its boards' lines in place with them). All are given
// back as they were on every way out: the destructor, or Restore before the
// process ends without it (a signal's ending leaves through _Exit).
#include <windows.h>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace pelican {

// A handle of a console's input or screen buffer: a character device that
// answers GetConsoleMode (NUL and COM ports are character devices too).
bool IsConsole(HANDLE handle);

class CBatchConsole {
public:
    // The console of the standard handles, when there is one.
    CBatchConsole();
    ~CBatchConsole();
    CBatchConsole(const CBatchConsole&) = delete;
    CBatchConsole& operator=(const CBatchConsole&) = delete;

    // The console's code page and input mode as they were; again is harmless.
    void Restore();

private:
    UINT m_outputCodePage = 0;  // 0: no console output
    HANDLE m_input = nullptr;   // the console's input, when it is one
    HANDLE m_ownedInput = nullptr;  // ... opened by name (CONIN$) for the run
    DWORD m_inputMode = 0;
    bool m_inputModeChanged = false;
    HANDLE m_error = nullptr;  // the console's screen buffer as standard error
    DWORD m_errorMode = 0;
    bool m_errorModeChanged = false;
};

}  // namespace pelican
