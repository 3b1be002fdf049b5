#include "sys/LockedFile.h"

#include <windows.h>

#include <algorithm>

#include "sys/win32/SystemError.h"
#include "sys/win32/WideText.h"

namespace pelican {
namespace {

HANDLE Native(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

bool Fail(std::string& error) {
    error = SystemErrorText(::GetLastError());
    return false;
}

// The lock is one byte far past any data, not the data themselves: a lock
// of Windows denies every other handle reading the bytes it covers, and the
// log must stay readable (type, an editor) while a station appends to it.
// Every holder locks the same byte, so they exclude each other all the same.
constexpr DWORD kLockOffsetHigh = 0x40000000;

OVERLAPPED LockPlace() {
    OVERLAPPED place{};
    place.Offset = 0;
    place.OffsetHigh = kLockOffsetHigh;
    place.hEvent = nullptr;
    return place;
}

bool WriteWhole(HANDLE file, const std::string& text, std::string& error) {
    size_t done = 0;
    while (done < text.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
        if (!::WriteFile(file, text.data() + done, chunk, &wrote, nullptr)) return Fail(error);
        if (wrote == 0) {
            error = "nothing was written";
            return false;
        }
        done += wrote;
    }
    return true;
}

bool MoveTo(HANDLE file, int64_t offset, DWORD from, std::string& error) {
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    if (!::SetFilePointerEx(file, distance, nullptr, from)) return Fail(error);
    return true;
}

}  // namespace

CLockedFile::~CLockedFile() {
    Close();
}

bool CLockedFile::Open(const std::string& path, Mode mode, std::string& error) {
    Close();
    const std::wstring wide = Widen(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "it is a folder";
        return false;
    }
    // Other stations and readers share the file; the lock orders the writers.
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                mode == Mode::Append ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail(error);
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        error = "not a regular file";
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(file);
    m_path = path;
    return true;
}

CLockedFile::Attempt CLockedFile::TryLock(std::string& error) {
    OVERLAPPED place = LockPlace();
    if (::LockFileEx(Native(m_handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place)) {
        m_locked = true;
        return Attempt::Locked;
    }
    const DWORD why = ::GetLastError();
    if (why == ERROR_LOCK_VIOLATION || why == ERROR_IO_PENDING) return Attempt::Busy;
    error = SystemErrorText(why);
    return Attempt::Failed;
}

void CLockedFile::Unlock() {
    if (!m_locked) return;
    OVERLAPPED place = LockPlace();
    ::UnlockFileEx(Native(m_handle), 0, 1, 0, &place);
    m_locked = false;
}

std::string CLockedFile::Holder() const {
    // Windows does not say whose a byte-range lock is, least of all on a
    // share, where the holder is another machine's.
    return "";
}

bool CLockedFile::ReadAll(std::string& text, std::string& error) {
    HANDLE file = Native(m_handle);
    text.clear();
    if (!MoveTo(file, 0, FILE_BEGIN, error)) return false;
    char block[4096];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, block, sizeof block, &got, nullptr)) return Fail(error);
        if (got == 0) return true;
        text.append(block, got);
    }
}

bool CLockedFile::Append(const std::string& text, std::string& error) {
    HANDLE file = Native(m_handle);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size)) return Fail(error);
    char last = '\n';
    if (size.QuadPart > 0) {
        DWORD got = 0;
        if (!MoveTo(file, size.QuadPart - 1, FILE_BEGIN, error)) return false;
        if (!::ReadFile(file, &last, 1, &got, nullptr)) return Fail(error);
    }
    if (!MoveTo(file, 0, FILE_END, error)) return false;
    if (WriteWhole(file, last == '\n' ? text : "\n" + text, error)) return true;
    // A full disk takes part of the text: cut back to where it began, or
    // the next station's line would be glued to the torn one.
    std::string why;
    if (!MoveTo(file, size.QuadPart, FILE_BEGIN, why) || !::SetEndOfFile(file)) {
        if (why.empty()) Fail(why);
        error += "; not cut back: " + why;
    }
    return false;
}

bool CLockedFile::Overwrite(const std::string& text, std::string& error) {
    HANDLE file = Native(m_handle);
    if (!MoveTo(file, 0, FILE_BEGIN, error) || !WriteWhole(file, text, error)) return false;
    // The end of the file is where the new text ends.
    if (!::SetEndOfFile(file)) return Fail(error);
    return true;
}

bool CLockedFile::Sync(std::string& error) {
    if (!::FlushFileBuffers(Native(m_handle))) return Fail(error);
    return true;
}

void CLockedFile::Close() {
    if (m_handle == -1) return;
    Unlock();
    ::CloseHandle(Native(m_handle));
    m_handle = -1;
}

}  // namespace pelican
