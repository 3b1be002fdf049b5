#include "link/PortLock.h"

#include <cctype>

namespace pelican {

// Windows names a port one way, "COM5" (typed in any case, or as \\.\COM5);
// the lock is named after that. The system itself also refuses a second
// open of a COM port, but the lock tells the user which run holds it.
std::string PortLockName(const std::string& port) {
    std::string name = port;
    if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
    std::string lock = "PELICAN.port_";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        lock += c == '\\' || c == '/' ? '_' : static_cast<char>(std::toupper(u));
    }
    return lock;
}

}  // namespace pelican
