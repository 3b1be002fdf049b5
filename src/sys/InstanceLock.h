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

    enum class Failure {
        None,
        Held,    // another process (or another lock object) holds the name
        Folder,  // the lock file cannot be made: Folder() and Error() say why
    };

    // False when the lock was not taken; Why() tells which failure it was.
    bool Acquire(const std::string& name);
    Failure Why() const { return m_failure; }
    // With Failure::Folder: the runtime folder and the errno of the attempt.
    const std::string& Folder() const { return m_folder; }
    int Error() const { return m_error; }
    void Release();
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    Failure m_failure = Failure::None;
    std::string m_folder;
    int m_error = 0;
};

}  // namespace pelican
