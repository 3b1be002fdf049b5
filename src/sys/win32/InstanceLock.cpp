#include "sys/InstanceLock.h"

#include <windows.h>

#include "sys/win32/SystemError.h"
#include "sys/win32/WideText.h"

namespace pelican {

CInstanceLock::~CInstanceLock() {
    Release();
}

// A named mutex in the session's namespace: every copy started by this user
// at this desktop sees the same name, and the system closes the handle (and
// with it the name) when the process ends, however it ends.
bool CInstanceLock::Acquire(const std::string& name) {
    if (m_handle != -1) {
        m_failure = Failure::Held;
        return false;
    }
    m_failure = Failure::None;
    m_error = 0;
    m_folder.clear();
    // A backslash would name a namespace ("Global\"): the names given here
    // are plain ones.
    std::wstring wide = Widen(name);
    // Windows users have no XDG_RUNTIME_DIR; tests that run several copies
    // side by side in one session give each its own folder there, and so
    // here a namespace of names of its own, as on Linux.
    const DWORD scoped = ::GetEnvironmentVariableW(L"XDG_RUNTIME_DIR", nullptr, 0);
    if (scoped > 1) {
        std::wstring scope(scoped, L'\0');
        scope.resize(::GetEnvironmentVariableW(L"XDG_RUNTIME_DIR", scope.data(), scoped));
        wide += L"@" + scope;
    }
    for (wchar_t& c : wide)
        if (c == L'\\') c = L'_';
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, wide.c_str());
    const DWORD error = ::GetLastError();
    if (mutex == nullptr) {
        // ERROR_ACCESS_DENIED: the name is held by a copy running with
        // other rights (another user at the same desktop, an elevated one).
        m_failure = error == ERROR_ACCESS_DENIED ? Failure::Held : Failure::Folder;
        m_error = static_cast<int>(error);
        return false;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        m_failure = Failure::Held;
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(mutex);
    return true;
}

std::string CInstanceLock::ErrorText() const {
    return SystemErrorText(static_cast<uint32_t>(m_error));
}

void CInstanceLock::Release() {
    if (m_handle == -1) return;
    ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    m_handle = -1;
}

}  // namespace pelican
