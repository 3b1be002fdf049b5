#pragma once
// Why a serial port could not be opened, in words the user can act on: the
// system's reason, and for a permission the group whose members may use it.
#include <string>

namespace pelican {

// "cannot open /dev/ttyUSB0: Permission denied; the port belongs to the group
// dialout: join it (sudo adduser $USER dialout) and log in again". error is
// the errno of the failed open (0 when it is not known).
std::string DescribePortOpenError(const std::string& name, int error);

}  // namespace pelican
