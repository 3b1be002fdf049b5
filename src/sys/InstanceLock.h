#pragma once
// The single-instance rule: one lock file held with flock. The system drops
// the lock when the process ends, however it ends, so a crashed copy never
// blocks the next start.
#include <string>

namespace pelican {

class CInstanceLock {
public:
    CInstanceLock() = default;
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // False when another process (or another lock object) holds the name, or
    // the lock file cannot be created.
    bool Acquire(const std::string& name);
    void Release();
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

}  // namespace pelican
