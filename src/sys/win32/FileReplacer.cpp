#include "sys/FileReplacer.h"

#include <windows.h>

#include <filesystem>

#include "sys/win32/PutInPlace.h"
#include "sys/win32/SystemError.h"
#include "sys/win32/WideText.h"

namespace pelican {
namespace {

constexpr const wchar_t* kTemporaryMark = L".saving-";

bool IsTemporaryOf(const std::wstring& name, const std::wstring& base) {
    const std::wstring prefix = base + kTemporaryMark;
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        const wchar_t c = name[i];
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'))) return false;
    }
    return true;
}

uint64_t FileTimeNow() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

}  // namespace

std::string CFileReplacer::FollowLinks(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path current(Widen(path));
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error)) || error) break;
        fs::path next = fs::read_symlink(current, error);
        if (error) break;
        if (next.is_relative()) next = current.parent_path() / next;
        current = next.lexically_normal();
    }
    return Narrow(current.wstring());
}

// The folders by their UTF-16 names: a narrow path given to the standard
// library would be read in the C runtime's code page, and a user folder
// named "José" would become another one.
void CFileReplacer::MakeParentFolders(const std::string& path) {
    const std::wstring wide = Widen(path);
    const size_t last = wide.find_last_of(L"\\/");
    if (last == std::wstring::npos || last == 0) return;
    // Every folder from the top down; those that exist (and a drive or a
    // share, which cannot be made) refuse, and that is all.
    for (size_t at = wide.find_first_of(L"\\/", 1); at != std::wstring::npos && at <= last;
         at = wide.find_first_of(L"\\/", at + 1)) {
        const std::wstring folder = wide.substr(0, at);
        if (folder.empty() || folder.back() == L':' || folder.back() == L'\\' || folder.back() == L'/') continue;
        ::CreateDirectoryW(folder.c_str(), nullptr);
    }
}

std::string CFileReplacer::TemporaryPattern(const std::string& target) {
    return target + Narrow(kTemporaryMark) + "XXXXXX";
}

void CFileReplacer::RemoveStale(const std::string& target, long staleSeconds) {
    namespace fs = std::filesystem;
    const fs::path path(Widen(target));
    const std::wstring base = path.filename().wstring();
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(L".");
    std::error_code error;
    const uint64_t now = FileTimeNow();
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (!IsTemporaryOf(entry.path().filename().wstring(), base)) continue;
        WIN32_FILE_ATTRIBUTE_DATA info{};
        if (!::GetFileAttributesExW(entry.path().c_str(), GetFileExInfoStandard, &info)) continue;
        if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
        const uint64_t written =
            (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) | info.ftLastWriteTime.dwLowDateTime;
        if (now > written && (now - written) / 10000000 >= static_cast<uint64_t>(staleSeconds))
            ::DeleteFileW(entry.path().c_str());
    }
}

CFileReplacer::Result CFileReplacer::Replace(const std::string& path, const std::string& text) {
    std::string why;
    return Replace(path, text, why);
}

bool CFileReplacer::MayFollow(const std::string&, std::string&) {
    // Making a symbolic link takes a privilege of its own on Windows; an
    // administrator's links are the administrator's.
    return true;
}

namespace {

// Replaced when a replacement may go on: the target is missing or a file
// this user may write.
CFileReplacer::Result Examine(const std::wstring& target, std::string& why) {
    using Result = CFileReplacer::Result;
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Result::Replaced;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        why = "it is a folder";
        return Result::Failed;
    }
    // The read-only attribute is the user's way of keeping a file as it is.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return Result::ReadOnly;
    HANDLE probe = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Held for a moment by someone else (a scanner, the indexer): the
    // replacement waits it out.
    if (probe == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) {
            why = SystemErrorText(error);
            return error == ERROR_ACCESS_DENIED ? Result::ReadOnly : Result::Failed;
        }
    } else {
        ::CloseHandle(probe);
    }
    return Result::Replaced;
}

}  // namespace

bool CFileReplacer::MayReplace(const std::string& path) {
    std::string why;
    return Examine(Widen(FollowLinks(path)), why) == Result::Replaced;
}

CFileReplacer::Result CFileReplacer::Replace(const std::string& path, const std::string& text, std::string& why) {
    const std::wstring target = Widen(FollowLinks(path));
    const Result examined = Examine(target, why);
    if (examined != Result::Replaced) return examined;
    RemoveStale(Narrow(target));
    // mkstemp's pattern: six letters and digits after the mark.
    static const wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    uint64_t seed = FileTimeNow() ^ (uint64_t{::GetCurrentProcessId()} << 20);
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temp = target + kTemporaryMark;
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            temp += kLetters[(seed >> 33) % 62];
        }
        file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
            why = SystemErrorText(::GetLastError());
            return Result::Failed;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        why = SystemErrorText(ERROR_FILE_EXISTS);
        return Result::Failed;
    }
    bool ok = true;
    size_t done = 0;
    while (ok && done < text.size()) {
        DWORD wrote = 0;
        const size_t rest = text.size() - done;
        ok = ::WriteFile(file, text.data() + done, rest > 0x10000000u ? 0x10000000u : static_cast<DWORD>(rest), &wrote,
                         nullptr) != 0 &&
             wrote > 0;
        done += wrote;
    }
    ok = ok && ::FlushFileBuffers(file) != 0;
    ok = ::CloseHandle(file) != 0 && ok;
    if (ok && s_beforeRename != nullptr) s_beforeRename(Narrow(temp), Narrow(target));
    if (ok) {
        const DWORD placed = PutInPlace(temp, target);
        ok = placed == ERROR_SUCCESS;
        if (!ok) ::SetLastError(placed);
    }
    if (!ok) {
        why = SystemErrorText(::GetLastError());
        ::DeleteFileW(temp.c_str());
    }
    return ok ? Result::Replaced : Result::Failed;
}

}  // namespace pelican
