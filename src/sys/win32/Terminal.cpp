#include "sys/Terminal.h"

#include <windows.h>

#include "sys/win32/BatchConsole.h"

namespace pelican {

namespace {

HANDLE Handle(StandardStream stream) {
    const DWORD which = stream == StandardStream::Input ? STD_INPUT_HANDLE
                        : stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                           : STD_ERROR_HANDLE;
    return ::GetStdHandle(which);
}

}  // namespace

bool IsTerminal(StandardStream stream) {
    return IsConsole(Handle(stream));
}

bool DrawsEscapes(StandardStream stream) {
    const HANDLE handle = Handle(stream);
    DWORD mode = 0;
    return IsConsole(handle) && ::GetConsoleMode(handle, &mode) && (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

TerminalSize SizeOf(StandardStream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(Handle(stream), &info)) return {};
    // The window onto the buffer, not the buffer with its history.
    return {info.srWindow.Right - info.srWindow.Left + 1, info.srWindow.Bottom - info.srWindow.Top + 1};
}

}  // namespace pelican
