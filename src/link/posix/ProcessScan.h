#pragma once
// One pass over /proc: the programs running, by name, and for each device of
// interest the processes that have it open (their descriptors' links name
// it). Processes of other users cannot be looked into without privileges;
// they are left out, not guessed at.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/PortInfo.h"

namespace pelican {

struct ProcessScan {
    std::set<std::string> programs;  // /proc/PID/comm of every process seen
    std::map<std::string, std::vector<PortHolder>> holders;  // by device path
};

// devices: the paths to look for in descriptors (/dev/ttyUSB0); selfPid is
// left out of the holders.
ProcessScan ScanProcesses(const std::string& procRoot, const std::set<std::string>& devices, int selfPid);

}  // namespace pelican
