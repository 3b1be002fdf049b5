#pragma once
// The single-instance rule: a name only one process can hold at a time (a
// lock file held with flock on POSIX, a named mutex on Windows). The system
// drops it when the process ends, however it ends, so a crashed copy never
// blocks the next start.
#include <cstdint>
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
    // With Failure::Folder: the runtime folder and the system's error number
    // of the attempt (errno; GetLastError on Windows).
    const std::string& Folder() const { return m_folder; }
    int Error() const { return m_error; }
    // The system's words for Error().
    std::string ErrorText() const;
    void Release();
    bool Held() const { return m_handle != -1; }

private:
    intptr_t m_handle = -1;  // the lock file's descriptor, or the mutex
    Failure m_failure = Failure::None;
    std::string m_folder;
    int m_error = 0;
};

}  // namespace pelican
