#include "sys/FileWriter.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

#include "sys/win32/SystemError.h"
#include "sys/win32/WideText.h"

namespace pelican {
namespace {

// A new empty file beside target, made by this process only.
HANDLE CreateTemporary(const std::wstring& target, std::wstring& temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[48];
        std::swprintf(suffix, 48, L".%lu.%u.tmp", static_cast<unsigned long>(::GetCurrentProcessId()),
                      counter++);
        temporary = target + suffix;
        HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        const DWORD ask = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!::WriteFile(file, data, ask, &done, nullptr)) return false;
        if (done == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        data += done;
        size -= done;
    }
    return true;
}

}  // namespace

bool CFileWriter::CheckFolder(const std::string& path, std::string& error) {
    // A folder of that name would refuse the replacement at the very end.
    const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "it is a folder";
        return false;
    }
    std::wstring temporary;
    HANDLE file = CreateTemporary(Widen(path), temporary);
    if (file == INVALID_HANDLE_VALUE) {
        error = SystemErrorText(::GetLastError());
        return false;
    }
    ::CloseHandle(file);
    ::DeleteFileW(temporary.c_str());
    return true;
}

bool CFileWriter::Write(const std::string& path, const void* data, size_t size, std::string& error) {
    const std::wstring target = Widen(path);
    std::wstring temporary;
    HANDLE file = CreateTemporary(target, temporary);
    if (file == INVALID_HANDLE_VALUE) {
        error = SystemErrorText(::GetLastError());
        return false;
    }
    DWORD failure = 0;
    if (!WriteAll(file, static_cast<const char*>(data), size)) failure = ::GetLastError();
    // The data must be on the disk before the name points at them.
    if (failure == 0 && !::FlushFileBuffers(file)) failure = ::GetLastError();
    if (!::CloseHandle(file) && failure == 0) failure = ::GetLastError();
    // An existing file keeps its attributes; the rename waits until it is on
    // the disk.
    if (failure == 0 &&
        !::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        failure = ::GetLastError();
    if (failure != 0) {
        ::DeleteFileW(temporary.c_str());
        error = SystemErrorText(failure);
        return false;
    }
    return true;
}

}  // namespace pelican
