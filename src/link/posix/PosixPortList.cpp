#include "link/posix/PosixPortList.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

namespace pelican {
namespace {

// Kernel names of serial devices worth offering besides COM1 to COM4: USB
// adapters, CDC modems, on-chip UARTs, Bluetooth serial links.
bool IsSerialDeviceName(const std::string& name) {
    static const char* const kPrefixes[] = {"ttyUSB", "ttyACM", "ttyAMA", "ttyXRUSB", "ttyCH343USB", "rfcomm"};
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&name](const char* prefix) { return name.rfind(prefix, 0) == 0; });
}

}  // namespace

std::vector<std::string> PosixPortList() {
    std::vector<std::string> ports = {"COM1", "COM2", "COM3", "COM4"};
    // Listed from sysfs so that no device is opened (opening can reset a
    // board through DTR).
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/tty", error)) {
        const std::string name = entry.path().filename().string();
        if (IsSerialDeviceName(name) && std::filesystem::exists("/dev/" + name, error))
            found.push_back("/dev/" + name);
    }
    std::sort(found.begin(), found.end());
    ports.insert(ports.end(), found.begin(), found.end());
    return ports;
}

}  // namespace pelican
