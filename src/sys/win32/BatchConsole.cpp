#include "sys/win32/BatchConsole.h"

namespace pelican {

bool IsConsole(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_CHAR) return false;
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode) != FALSE;
}

CBatchConsole::CBatchConsole() : m_outputCodePage(::GetConsoleOutputCP()) {
    if (m_outputCodePage != 0) ::SetConsoleOutputCP(CP_UTF8);
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD errorMode = 0;
    if (IsConsole(error) && ::GetConsoleMode(error, &errorMode) &&
        (errorMode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0) {
        // Refused by consoles older than Windows 10: the lines are then
        // printed one after another instead of drawn in place.
        m_errorModeChanged = ::SetConsoleMode(error, errorMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
        m_error = error;
        m_errorMode = errorMode;
    }
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (!IsConsole(input)) {
        // Standard input redirected (< NUL, a pipe) while the console still
        // shows the run: a click into it would still start a selection. Its
        // input buffer is reached by name.
        input = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
        if (input == INVALID_HANDLE_VALUE) return;
        m_ownedInput = input;
    }
    DWORD mode = 0;
    if (!::GetConsoleMode(input, &mode)) return;
    m_input = input;
    m_inputMode = mode;
    // The QuickEdit bit is only read with ENABLE_EXTENDED_FLAGS beside it.
    if ((mode & ENABLE_QUICK_EDIT_MODE) != 0)
        m_inputModeChanged = ::SetConsoleMode(input, (mode & ~ENABLE_QUICK_EDIT_MODE) | ENABLE_EXTENDED_FLAGS) != FALSE;
}

CBatchConsole::~CBatchConsole() {
    Restore();
    if (m_ownedInput != nullptr) ::CloseHandle(m_ownedInput);
}

void CBatchConsole::Restore() {
    if (m_outputCodePage != 0) ::SetConsoleOutputCP(m_outputCodePage);
    m_outputCodePage = 0;
    if (m_inputModeChanged) ::SetConsoleMode(m_input, m_inputMode | ENABLE_EXTENDED_FLAGS);
    m_inputModeChanged = false;
    if (m_errorModeChanged) ::SetConsoleMode(m_error, m_errorMode);
    m_errorModeChanged = false;
}

}  // namespace pelican
