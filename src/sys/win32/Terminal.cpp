#include "sys/Terminal.h"

#include <windows.h>

#include "sys/win32/BatchConsole.h"

namespace pelican {

bool IsTerminal(StandardStream stream) {
    const DWORD which = stream == StandardStream::Input ? STD_INPUT_HANDLE
                        : stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                           : STD_ERROR_HANDLE;
    return IsConsole(::GetStdHandle(which));
}

}  // namespace pelican
