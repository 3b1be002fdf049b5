#include "sys/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pelican {
namespace {

FileError FromErrno(int error) {
    switch (error) {
        case 0: return FileError::None;
        case ENOENT:
        case ENOTDIR: return FileError::NotFound;
        case EACCES:
        case EPERM: return FileError::AccessDenied;
        case EISDIR: return FileError::IsDirectory;
        case EMFILE:
        case ENFILE: return FileError::TooManyOpen;
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL: return FileError::BadPath;
        default: return FileError::OpenFailed;
    }
}

}  // namespace

CInputFile::~CInputFile() {
    Close();
}

FileError CInputFile::Open(const std::string& path) {
    Close();
    if (path.empty()) return FileError::NotFound;
    // Non-blocking so that a named pipe without a writer cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return FromErrno(errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return FromErrno(error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return S_ISDIR(info.st_mode) ? FileError::IsDirectory : FileError::NotRegularFile;
    }
    m_handle = fd;
    m_stamp = FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                        static_cast<uint64_t>(info.st_size),
                        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
    return FileError::None;
}

long CInputFile::Read(void* data, size_t length) {
    if (m_handle == -1) return -1;
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(m_handle), data, length);
        if (got < 0 && errno == EINTR) continue;
        return static_cast<long>(got);
    }
}

bool CInputFile::Unchanged() const {
    struct stat info {};
    if (m_handle == -1 || ::fstat(static_cast<int>(m_handle), &info) != 0) return false;
    return static_cast<uint64_t>(info.st_size) == m_stamp.size &&
           static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec == m_stamp.modified;
}

bool CInputFile::Rewind() {
    return m_handle != -1 && ::lseek(static_cast<int>(m_handle), 0, SEEK_SET) == 0;
}

void CInputFile::Close() {
    if (m_handle == -1) return;
    ::close(static_cast<int>(m_handle));
    m_handle = -1;
    m_stamp = FileIdentity{};
}

}  // namespace pelican
