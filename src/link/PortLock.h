#pragma once
// The lock a run holds on its port: one run per board. Batch runs on
// different ports go side by side, also beside the window program; a second
// run on the same port, under any of its names (COM1, /dev/ttyS0, a link to
// it), is refused.
#include <string>

namespace pelican {

// The lock's name for a port: its device path with links resolved.
std::string PortLockName(const std::string& port);

}  // namespace pelican
