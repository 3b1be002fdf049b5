#pragma once
// The lock a batch run holds on its port: one run per board. Runs on
// different ports go side by side; a second run on the same port, under any
// of its names (COM1, /dev/ttyS0, a link to it), is refused.
#include <string>

#include "sys/InstanceLock.h"

namespace pelican {

class CPortLock {
public:
    // The lock's name for a port: its device path with links resolved.
    static std::string NameFor(const std::string& port);
    // False when another run holds the port.
    bool Acquire(const std::string& port) { return m_lock.Acquire(NameFor(port)); }

private:
    CInstanceLock m_lock;
};

}  // namespace pelican
