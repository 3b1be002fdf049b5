#include "sys/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "sys/Paths.h"

namespace pelican {

CInstanceLock::~CInstanceLock() {
    Release();
}

bool CInstanceLock::Acquire(const std::string& name) {
    if (m_fd >= 0) return false;
    std::string user;
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) user = "-" + std::to_string(::getuid());
    const std::string path = RuntimeDirectory() + "/" + name + user + ".lock";
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
