#include "sys/FileReplacer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace pelican {
namespace {

// Holds back the signals that end a program while the file is replaced; they
// are delivered when the object goes.
class CSignalsHeld {
public:
    CSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&held, signal);
        m_active = ::pthread_sigmask(SIG_BLOCK, &held, &m_previous) == 0;
    }
    ~CSignalsHeld() {
        if (m_active) ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    CSignalsHeld(const CSignalsHeld&) = delete;
    CSignalsHeld& operator=(const CSignalsHeld&) = delete;

private:
    sigset_t m_previous{};
    bool m_active = false;
};

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

constexpr const char* kTemporaryMark = ".saving-";

bool IsTemporaryOf(const std::string& name, const std::string& base) {
    // "<base>.saving-" and mkstemp's six letters and digits.
    const std::string prefix = base + kTemporaryMark;
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

}  // namespace

std::string CFileReplacer::FollowLinks(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path current(path);
    // The kernel's own limit on links in a row.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        std::error_code error;
        fs::path next = fs::read_symlink(current, error);
        if (error) break;
        if (next.is_relative()) next = current.parent_path() / next;
        current = next.lexically_normal();
    }
    return current.string();
}

void CFileReplacer::MakeParentFolders(const std::string& path) {
    const std::filesystem::path target(path);
    std::error_code ignored;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ignored);
}

std::string CFileReplacer::TemporaryPattern(const std::string& target) {
    return target + kTemporaryMark + "XXXXXX";
}

void CFileReplacer::RemoveStale(const std::string& target, long staleSeconds) {
    namespace fs = std::filesystem;
    const fs::path path(target);
    const std::string base = path.filename().string();
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::error_code error;
    const time_t now = std::time(nullptr);
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (!IsTemporaryOf(entry.path().filename().string(), base)) continue;
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        if (now - info.st_mtime >= staleSeconds) ::unlink(entry.path().c_str());
    }
}

CFileReplacer::Result CFileReplacer::Replace(const std::string& path, const std::string& text) {
    std::string why;
    return Replace(path, text, why);
}

namespace {

// The folder with its own links resolved; empty when it is not there.
std::string RealFolder(const std::string& folder) {
    char* resolved = ::realpath(folder.empty() ? "." : folder.c_str(), nullptr);
    if (resolved == nullptr) return std::string();
    std::string text(resolved);
    std::free(resolved);
    return text;
}

bool Inside(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    const std::string prefix = folder == "/" ? folder : folder + "/";
    return path.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

bool CFileReplacer::MayFollow(const std::string& path, std::string& why) {
    namespace fs = std::filesystem;
    if (::geteuid() != 0) return true;  // the system keeps others' files from this user
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
    const fs::path target(FollowLinks(path));
    // Where the target's folder really is, links on the way resolved.
    const std::string folder = RealFolder(target.parent_path().string());
    const char* home = std::getenv("HOME");
    const std::string homeFolder = home != nullptr && home[0] == '/' ? RealFolder(home) : std::string();
    const std::string own = RealFolder(fs::path(path).parent_path().string());
    const auto within = [&folder](const std::string& base) { return !base.empty() && (folder == base || Inside(folder, base)); };
    if (!folder.empty() && (within(own) || within(homeFolder))) return true;
    why = "the settings file " + path + " leads there through a symbolic link, outside your own files, and this "
          "run is the superuser's";
    return false;
}

namespace {

// Replaced when a replacement may go on: the target is missing (exists
// false) or a regular file this user may write, described by info.
CFileReplacer::Result Examine(const std::string& target, struct stat& info, bool& exists, std::string& why) {
    using Result = CFileReplacer::Result;
    exists = ::stat(target.c_str(), &info) == 0;
    if (!exists) return Result::Replaced;
    if (!S_ISREG(info.st_mode)) {
        why = "it is not a regular file";
        return Result::Failed;
    }
    // Permission bits do not stop the superuser, but a file without any
    // write bit was made read-only on purpose.
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Result::ReadOnly;
    if (::access(target.c_str(), W_OK) != 0) {
        why = std::strerror(errno);
        return errno == EACCES || errno == EROFS ? Result::ReadOnly : Result::Failed;
    }
    return Result::Replaced;
}

}  // namespace

bool CFileReplacer::MayReplace(const std::string& path) {
    struct stat info {};
    bool exists = false;
    std::string why;
    return Examine(FollowLinks(path), info, exists, why) == Result::Replaced;
}

CFileReplacer::Result CFileReplacer::Replace(const std::string& path, const std::string& text, std::string& why) {
    const std::string target = FollowLinks(path);
    struct stat info {};
    bool exists = false;
    const Result examined = Examine(target, info, exists, why);
    if (examined != Result::Replaced) return examined;

    RemoveStale(target);
    CSignalsHeld held;
    std::string temp = TemporaryPattern(target);
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        // The file may be writable while its folder is not: the new file is
        // made beside it.
        why = std::strerror(errno);
        return Result::Failed;
    }
    bool ok = WriteAll(fd, text);
    if (ok && exists) {
        // The owner and group as they were, where this user may set them (a
        // superuser editing a user's file); then the permissions.
        if (info.st_uid != ::geteuid() || info.st_gid != ::getegid()) {
            const int kept = ::fchown(fd, info.st_uid, info.st_gid);
            static_cast<void>(kept);
        }
        ok = ::fchmod(fd, info.st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && s_beforeRename != nullptr) s_beforeRename(temp, target);
    ok = ok && std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        why = std::strerror(errno);
        ::unlink(temp.c_str());
    }
    return ok ? Result::Replaced : Result::Failed;
}

}  // namespace pelican
