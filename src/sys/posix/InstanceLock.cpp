#include "sys/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sys/Paths.h"

namespace pelican {

CInstanceLock::~CInstanceLock() {
    Release();
}

bool CInstanceLock::Acquire(const std::string& name) {
    if (m_handle != -1) {
        m_failure = Failure::Held;
        return false;
    }
    m_failure = Failure::None;
    m_error = 0;
    // Without a runtime folder of its own the user shares the temporary
    // folder with every other user, so the lock's name carries the user id:
    // another user's lock, stale or not, is never this user's.
    bool shared = false;
    m_folder = RuntimeDirectory(&shared);
    char user[32] = "";
    if (shared) std::snprintf(user, sizeof user, "-%u", static_cast<unsigned>(::getuid()));
    std::string path = m_folder;
    path.append("/").append(name).append(user).append(".lock");
    // Never through a link someone else may have put in a shared folder.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        m_failure = Failure::Folder;
        m_error = errno;
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        m_failure = error == EWOULDBLOCK ? Failure::Held : Failure::Folder;
        m_error = error;
        return false;
    }
    m_handle = fd;
    return true;
}

std::string CInstanceLock::ErrorText() const {
    return std::strerror(m_error);
}

void CInstanceLock::Release() {
    if (m_handle == -1) return;
    ::close(static_cast<int>(m_handle));  // closing the descriptor drops the lock
    m_handle = -1;
}

}  // namespace pelican
