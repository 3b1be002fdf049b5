#include "link/PortOpenError.h"

#include <cerrno>
#include <cstring>

namespace pelican {
namespace {

// Where a Windows user finds the ports the computer has and who holds them.
constexpr const char* kDeviceManager = "Device Manager lists this computer's ports under \"Ports (COM & LPT)\"";

}  // namespace

bool IsPortPermissionError(int error) {
    // Windows reports a port held by another program as access denied, and
    // the back end tells that as busy; a port a user may not open at all
    // (a policy of the administrator) keeps the errno of a permission.
    return error == EACCES || error == EPERM;
}

std::string PortPermissionAdvice(const std::string& name) {
    return name + ".\nAsk the administrator of this computer for access to it.";
}

std::string DescribePortOpenError(const std::string& name, int error) {
    const std::string text = "cannot open " + name + ": ";
    switch (error) {
        case 0: return text + "the port could not be opened";
        case ENOENT: return text + "no such port; " + kDeviceManager;
        case ENOTTY: return text + "not a serial port";
        case EBUSY:
            return text + "in use by another program (a terminal program, another copy of this one); close it "
                          "and try again";
        case EACCES:
        case EPERM: return text + "access denied; ask the administrator of this computer for access to it";
        case EIO: return text + "the port's driver reported an error; " + kDeviceManager + " and its state";
        default: return text + std::strerror(error);
    }
}

}  // namespace pelican
