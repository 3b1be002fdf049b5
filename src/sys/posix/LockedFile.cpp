#include "sys/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pelican {
namespace {

bool Fail(std::string& error) {
    error = std::strerror(errno);
    return false;
}

// The whole of text at the descriptor's place, however the system splits it.
bool WriteWhole(int fd, const std::string& text, std::string& error) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (wrote == 0) errno = EIO;
            return Fail(error);
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// Takes the exclusive lock of the whole file without waiting; 0, or -1 with
// errno. A lock of the open file description: it excludes the other
// threads of this process as well as other processes, and reaches over NFS.
// A system without such locks: flock, which also belongs to the open file
// description.
int Take(int fd) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    int result = 0;
    while ((result = ::fcntl(fd, F_OFD_SETLK, &whole)) != 0 && errno == EINTR) {
    }
    if (result != 0 && errno == EINVAL) {
        while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
    }
    return result;
}

}  // namespace

CLockedFile::~CLockedFile() {
    Close();
}

bool CLockedFile::Open(const std::string& path, Mode mode, std::string& error) {
    Close();
    const int flags = O_RDWR | O_CLOEXEC | O_NOCTTY | (mode == Mode::Append ? O_CREAT | O_APPEND : 0);
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return Fail(error);
    // A device or a pipe named as the log would take the records away.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? "it is a folder" : "not a regular file";
        ::close(fd);
        return false;
    }
    m_handle = fd;
    m_path = path;
    return true;
}

CLockedFile::Attempt CLockedFile::TryLock(std::string& error) {
    if (Take(static_cast<int>(m_handle)) == 0) {
        m_locked = true;
        return Attempt::Locked;
    }
    if (errno == EAGAIN || errno == EACCES || errno == EWOULDBLOCK) return Attempt::Busy;
    Fail(error);
    return Attempt::Failed;
}

void CLockedFile::Unlock() {
    if (!m_locked) return;
    const int fd = static_cast<int>(m_handle);
    struct flock whole {};
    whole.l_type = F_UNLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &whole) != 0) ::flock(fd, LOCK_UN);
    m_locked = false;
}

std::string CLockedFile::Holder() const {
    // A lock of an open file description has no process (l_pid -1); a
    // classic record lock that another program of this machine holds does.
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (m_handle == -1 || ::fcntl(static_cast<int>(m_handle), F_OFD_GETLK, &whole) != 0) return "";
    if (whole.l_type == F_UNLCK || whole.l_pid <= 0) return "";
    return "process " + std::to_string(whole.l_pid);
}

bool CLockedFile::ReadAll(std::string& text, std::string& error) {
    const int fd = static_cast<int>(m_handle);
    text.clear();
    char block[4096];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, block, sizeof block, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Fail(error);
        if (got == 0) return true;
        text.append(block, static_cast<size_t>(got));
        at += got;
    }
}

bool CLockedFile::Append(const std::string& text, std::string& error) {
    const int fd = static_cast<int>(m_handle);
    struct stat info {};
    if (::fstat(fd, &info) != 0) return Fail(error);
    char last = '\n';
    if (info.st_size > 0 && ::pread(fd, &last, 1, info.st_size - 1) != 1) return Fail(error);
    if (WriteWhole(fd, last == '\n' ? text : "\n" + text, error)) return true;
    // A full disk or a size limit takes part of the text: cut back to where
    // it began, or the next station's line would be glued to the torn one.
    if (::ftruncate(fd, info.st_size) != 0) error += std::string("; not cut back: ") + std::strerror(errno);
    return false;
}

bool CLockedFile::Overwrite(const std::string& text, std::string& error) {
    const int fd = static_cast<int>(m_handle);
    // Written over in place, then cut to its length: the old text is never
    // missing, only ever the old or the new number's digits.
    if (::lseek(fd, 0, SEEK_SET) != 0) return Fail(error);
    if (!WriteWhole(fd, text, error)) return false;
    if (::ftruncate(fd, static_cast<off_t>(text.size())) != 0) return Fail(error);
    return true;
}

bool CLockedFile::Sync(std::string& error) {
    if (::fsync(static_cast<int>(m_handle)) != 0) return Fail(error);
    return true;
}

void CLockedFile::Close() {
    if (m_handle == -1) return;
    Unlock();
    ::close(static_cast<int>(m_handle));  // closing it would drop the lock as well
    m_handle = -1;
}

}  // namespace pelican
