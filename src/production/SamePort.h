#pragma once
// A gang's ports must be different devices: one port given twice, under
// one name or two (COM1 and /dev/ttyS0, a link and its target, two usb: or
// serial: names that reach the same adapter), would be two runs on one
// board, the second refused its port or talking into the first's frames.
#include <string>
#include <vector>

#include "link/PortInfo.h"

namespace pelican {

// The usage error that ports make, each as given to -p (usb: and serial:
// names looked up in survey); empty when each names a device of its own. A
// name that finds no port, or several, is left to its board's run to tell.
std::string SamePortError(const std::vector<std::string>& ports, const PortSurvey& survey);

}  // namespace pelican
