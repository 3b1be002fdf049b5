#pragma once
// --list-ports: every serial port with what identifies it, the programs that
// have it open and what may be in its way, as text or as JSON lines.
#include <string>
#include <vector>

#include "link/PortInfo.h"

namespace pelican {

// The lines to print, in the survey's order: for each port its path and
// names, then indented its ids (and the --port name that finds it again),
// by-id name, driver, holders and notes; last the notes on adapters that
// have no port. With json, one object per port ("event":"port") and per
// such note ("event":"note").
std::vector<std::string> PortListingLines(const PortSurvey& survey, bool json);
// pelican --list-ports: this machine's ports on standard output; exit status 0.
int ListPorts(bool json);

}  // namespace pelican
