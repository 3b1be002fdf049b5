#include "sys/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "sys/Paths.h"

namespace pelican {

CInstanceLock::~CInstanceLock() {
    Release();
}

bool CInstanceLock::Acquire(const std::string& name) {
    if (m_fd >= 0) return false;
    // Without a runtime folder of its own the user shares the temporary
    // folder, so the lock's name carries the user id.
    char user[32] = "";
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr)
        std::snprintf(user, sizeof user, "-%u", static_cast<unsigned>(::getuid()));
    std::string path = RuntimeDirectory();
    path.append("/").append(name).append(user).append(".lock");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void CInstanceLock::Release() {
    if (m_fd < 0) return;
    ::close(m_fd);  // closing the descriptor drops the lock
    m_fd = -1;
}

}  // namespace pelican
