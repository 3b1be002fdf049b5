#include "link/PortOpenError.h"

#include <cerrno>
#include <cstring>

namespace pelican {

bool IsPortPermissionError(int error) {
    return error == EACCES || error == EPERM;
}

std::string PortPermissionAdvice(const std::string& name) {
    return name + ".\nAsk the administrator of this computer for access to it.";
}

std::string DescribePortOpenError(const std::string& name, int error) {
    const std::string text = "cannot open " + name + ": ";
    switch (error) {
        case 0: return text + "the port could not be opened";
        case ENOENT: return text + "no such port";
        case ENOTTY: return text + "not a serial port";
        case EBUSY: return text + "in use by another program";
        default: return text + std::strerror(error);
    }
}

}  // namespace pelican
