#include "sys/FileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pelican {
namespace {

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR) continue;
        if (done == 0) errno = EIO;
        if (done <= 0) return false;
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

std::string TargetOf(const std::string& path) {
    // A symbolic link names where the file lives: that file is replaced,
    // the link stays. A chain of links is followed to its end, a dangling
    // one too (its target is created).
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
        std::string link(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<size_t>(length) >= link.size()) return target;
        link.resize(static_cast<size_t>(length));
        const size_t slash = target.rfind('/');
        target = link[0] == '/' || slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
    }
    return target;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int CreateTemporary(const std::string& target, std::string& temporary) {
    // Mode 0666 lets the process's umask (and the folder's default ACL) make
    // the mode, as for any new file; the umask itself is never touched:
    // other threads may create files at the same time.
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(::getpid()), counter++);
        temporary = target + suffix;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool CFileWriter::CheckFolder(const std::string& path, std::string& error) {
    // Only a file made there tells: permissions, a read-only mount, ACLs, a
    // full inode table all show as the creation failing.
    // A folder (or a device) of that name would refuse the rename at the
    // very end.
    const std::string target = TargetOf(path);
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        error = S_ISDIR(existing.st_mode) ? "it is a folder" : "it is not a regular file";
        return false;
    }
    std::string temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(temporary.c_str());
    return true;
}

bool CFileWriter::Write(const std::string& path, const void* data, size_t size, std::string& error) {
    const std::string target = TargetOf(path);
    // The temporary file lies beside the target so that the rename stays
    // within one file system.
    std::string temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = WriteAll(fd, static_cast<const char*>(data), size);
    int failure = written ? 0 : errno;
    // A file that is replaced keeps the permissions its owner gave it.
    struct stat existing {};
    if (failure == 0 && ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        ::fchmod(fd, existing.st_mode & 07777) != 0)
        failure = errno;
    // The data must be on the disk before the name points at them.
    if (failure == 0 && ::fsync(fd) != 0) failure = errno;
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) failure = errno;
    if (failure != 0) {
        ::unlink(temporary.c_str());
        error = std::strerror(failure);
        return false;
    }
    // And the new name must be on the disk too, or a power cut may bring
    // back the old file (or none).
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        if (::fsync(folder) != 0 && errno != EINVAL && errno != EROFS) failure = errno;
        ::close(folder);
    }
    if (failure != 0) {
        error = std::strerror(failure);
        return false;
    }
    return true;
}

}  // namespace pelican
