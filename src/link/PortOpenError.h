#pragma once
// Why a serial port could not be opened, in words the user can act on: the
// system's reason, and for a permission the group whose members may use it.
#include <string>

namespace pelican {

// "cannot open /dev/ttyUSB0: Permission denied; the port belongs to the group
// dialout: join it (sudo adduser $USER dialout) and log in again". error is
// the errno of the failed open (0 when it is not known).
std::string DescribePortOpenError(const std::string& name, int error);

// True when the port is there but this user may not open it: nothing the
// board or a RESET can change.
bool IsPortPermissionError(int error);

// "COM1 (/dev/ttyS0).\nIt belongs to the group dialout: ..." for a window:
// the port, and what the user can do to be let in.
std::string PortPermissionAdvice(const std::string& name);

}  // namespace pelican
