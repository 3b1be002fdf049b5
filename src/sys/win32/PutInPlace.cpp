#include "sys/win32/PutInPlace.h"

namespace pelican {
namespace {

bool IsPassing(DWORD error) {
    // Someone holds the file for a moment; the replaced file could not be
    // deleted, both names intact.
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

DWORD Move(const std::wstring& temp, const std::wstring& target) {
    return ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? ERROR_SUCCESS
               : ::GetLastError();
}

// One try.
DWORD TryOnce(const std::wstring& temp, const std::wstring& target) {
    if (::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) return Move(temp, target);
    if (::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return ERROR_SUCCESS;
    const DWORD error = ::GetLastError();
    switch (error) {
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
            // The old file has been moved out of the way and the new one
            // did not follow it: the name must not stay empty.
            if (::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) return Move(temp, target);
            return error;
        // A volume or a share that cannot replace (FAT, some network
        // servers): a rename over the file does the main part.
        case ERROR_INVALID_PARAMETER:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION: return Move(temp, target);
        default: return error;
    }
}

}  // namespace

std::function<void(int attempt)>& PutInPlaceRetryWait() {
    static std::function<void(int)> wait = [](int attempt) {
        // 10, 20, 40 ... ms, at most half a second: under two seconds in all.
        const DWORD ms = attempt >= 6 ? 500 : 10u << (attempt - 1);
        ::Sleep(ms);
    };
    return wait;
}

DWORD PutInPlace(const std::wstring& temp, const std::wstring& target) {
    // A read-only file is the user's word, not a passing hold.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    const bool readOnly = exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    // The attributes a user gives a file, on the new one before it takes
    // the name: so they stay also where a volume replaces by renaming.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (exists && !readOnly && (attributes & kKept) != 0) ::SetFileAttributesW(temp.c_str(), attributes & kKept);
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 1; attempt <= kPutInPlaceTries; ++attempt) {
        error = TryOnce(temp, target);
        if (error == ERROR_SUCCESS || readOnly || !IsPassing(error) || attempt == kPutInPlaceTries) break;
        PutInPlaceRetryWait()(attempt);
    }
    return error;
}

}  // namespace pelican
