#pragma once
// The serial ports of a Linux machine from sysfs, without opening any:
// /sys/class/tty/* with a device behind it, the USB device above it (ids,
// strings, serial number), its driver, its /dev/serial/by-id name, and from
// /proc the programs that have it open and whether ModemManager or brltty
// run. The roots are parameters so that tests build a tree of their own.
#include <string>

#include "link/PortInfo.h"

namespace pelican {

struct SystemRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
    std::string proc = "/proc";
    // This process, which is not another program holding the port; 0: the
    // calling process.
    int selfPid = 0;
};

PortSurvey SurveyPorts(const SystemRoots& roots);

}  // namespace pelican
