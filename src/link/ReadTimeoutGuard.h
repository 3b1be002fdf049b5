#pragma once
// A read time-out for one stretch of an exchange: set when the guard is
// made, and the one in force before put back when it goes, however the
// stretch ends.
#include <cstdint>

#include "link/SerialComm.h"

namespace pelican {

class CReadTimeoutGuard {
public:
    CReadTimeoutGuard(CSerialComm& port, int32_t milliseconds) : m_port(port), m_previous(port.ReadTimeout()) {
        m_port.SetReadTimeout(milliseconds);
    }
    ~CReadTimeoutGuard() { m_port.SetReadTimeout(m_previous); }
    CReadTimeoutGuard(const CReadTimeoutGuard&) = delete;
    CReadTimeoutGuard& operator=(const CReadTimeoutGuard&) = delete;

    // The time-out that was in force before.
    int32_t Previous() const { return m_previous; }

private:
    CSerialComm& m_port;
    int32_t m_previous;
};

}  // namespace pelican
