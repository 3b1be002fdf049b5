#include "sys/win32/BatchConsole.h"

namespace pelican {

bool IsConsole(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_CHAR) return false;
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode) != FALSE;
}

CBatchConsole::CBatchConsole() : m_outputCodePage(::GetConsoleOutputCP()) {
    if (m_outputCodePage != 0) ::SetConsoleOutputCP(CP_UTF8);
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!IsConsole(input) || !::GetConsoleMode(input, &mode)) return;
    m_input = input;
    m_inputMode = mode;
    // The QuickEdit bit is only read with ENABLE_EXTENDED_FLAGS beside it.
    if ((mode & ENABLE_QUICK_EDIT_MODE) != 0)
        m_inputModeChanged = ::SetConsoleMode(input, (mode & ~ENABLE_QUICK_EDIT_MODE) | ENABLE_EXTENDED_FLAGS) != FALSE;
}

CBatchConsole::~CBatchConsole() {
    Restore();
}

void CBatchConsole::Restore() {
    if (m_outputCodePage != 0) ::SetConsoleOutputCP(m_outputCodePage);
    m_outputCodePage = 0;
    if (m_inputModeChanged) ::SetConsoleMode(m_input, m_inputMode | ENABLE_EXTENDED_FLAGS);
    m_inputModeChanged = false;
}

}  // namespace pelican
