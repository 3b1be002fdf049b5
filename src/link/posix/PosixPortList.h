#pragma once
// The ports the POSIX serial back end can offer: COM1 to COM4 (/dev/ttyS0 to
// /dev/ttyS3), then the serial devices present on this machine.
#include <string>
#include <vector>

namespace pelican {

std::vector<std::string> PosixPortList();

}  // namespace pelican
