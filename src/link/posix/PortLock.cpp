#include "link/PortLock.h"

#include <climits>
#include <cstdlib>

#include "link/posix/PosixSerialDevice.h"

namespace pelican {

std::string PortLockName(const std::string& port) {
    std::string path = CPosixSerialDevice::DevicePath(port);
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) path = resolved;
    std::string name = "PELICAN.port";
    for (const char c : path) name += c == '/' ? '_' : c;
    return name;
}

}  // namespace pelican
