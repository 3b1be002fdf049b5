#pragma once
// The ports the Windows serial back end can offer: COM1 to COM4, then the
// ports in the system's serial device map in number order.
#include <string>
#include <vector>

namespace pelican {

std::vector<std::string> Win32PortList();
// The names the system's serial device map holds, as it holds them.
std::vector<std::string> Win32MappedPorts();

// The list from the names the device map holds ("COM7", "COM3", ...):
// COM1 to COM4 first, then the other COM ports by number, then any other
// names by name; each once, COM names in capitals.
std::vector<std::string> PortListOf(const std::vector<std::string>& mapped);

}  // namespace pelican
