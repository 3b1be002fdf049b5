#include "link/posix/PosixPortSurvey.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "link/PortNotes.h"
#include "link/posix/PosixSerialDevice.h"
#include "link/posix/ProcessScan.h"
#include "sys/Text.h"

namespace pelican {
namespace {

namespace fs = std::filesystem;

std::string Attribute(const fs::path& dir, const char* name) {
    std::ifstream in(dir / name);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

bool HexAttribute(const fs::path& dir, const char* name, uint16_t& value) {
    const std::string text = Attribute(dir, name);
    if (text.empty() || text.size() > 4) return false;
    unsigned result = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return false;
        result = result << 4 | static_cast<unsigned>(digit);
    }
    value = static_cast<uint16_t>(result);
    return true;
}

bool Within(const fs::path& dir, const fs::path& root) {
    const std::string text = dir.string();
    const std::string base = root.string();
    return text.size() > base.size() && text.compare(0, base.size(), base) == 0;
}

// The driver of the first device from dir upwards that has one of its own:
// the serial core's port devices (bus serial-base) stand between a UART's
// tty and the driver of the UART itself.
std::string DriverOf(fs::path dir, const fs::path& sysRoot) {
    for (int depth = 0; depth < 4 && Within(dir, sysRoot); ++depth, dir = dir.parent_path()) {
        std::error_code error;
        const fs::path driver = fs::canonical(dir / "driver", error);
        if (error) continue;
        if (driver.parent_path().parent_path().filename() != "serial-base") return driver.filename().string();
    }
    return std::string();
}

// The USB device dir is under (the folder with idVendor), or empty.
fs::path UsbDeviceOf(fs::path dir, const fs::path& sysRoot) {
    for (int depth = 0; depth < 8 && Within(dir, sysRoot); ++depth, dir = dir.parent_path()) {
        std::error_code error;
        if (fs::exists(dir / "idVendor", error)) return dir;
    }
    return fs::path();
}

void TakeUsbDevice(const fs::path& usb, PortInfo& port) {
    port.usb = HexAttribute(usb, "idVendor", port.vendorId) && HexAttribute(usb, "idProduct", port.productId);
    port.manufacturer = Attribute(usb, "manufacturer");
    port.product = Attribute(usb, "product");
    port.serialNumber = Attribute(usb, "serial");
}

// Kernel names of serial devices: USB adapters, CDC modems, UARTs on chip
// and on the board, Bluetooth serial links.
bool IsSerialName(const std::string& name) {
    static const char* const kPrefixes[] = {"ttyUSB", "ttyACM", "ttyAMA", "ttyS", "ttyXRUSB", "ttyCH343USB", "rfcomm"};
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&name](const char* prefix) { return name.rfind(prefix, 0) == 0; });
}

// The by-id names, by the kernel name each links to.
std::map<std::string, std::string> ByIdNames(const fs::path& devRoot) {
    std::map<std::string, std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(devRoot / "serial" / "by-id", error)) {
        std::error_code linkError;
        const fs::path target = fs::canonical(entry.path(), linkError);
        if (linkError || target.parent_path() != fs::canonical(devRoot, linkError)) continue;
        // Several names for one port (two links): the first in name order.
        const std::string path = (devRoot / "serial" / "by-id" / entry.path().filename()).string();
        auto [at, added] = names.emplace(target.filename().string(), path);
        if (!added && path < at->second) at->second = path;
    }
    return names;
}

}  // namespace

PortSurvey SurveyPorts(const SystemRoots& roots) {
    PortSurvey survey;
    const fs::path sysRoot = fs::weakly_canonical(roots.sys);
    const fs::path devRoot = roots.dev;
    const std::map<std::string, std::string> byId = ByIdNames(devRoot);
    std::vector<fs::path> usbWithPort;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sysRoot / "class" / "tty", error)) {
        const std::string name = entry.path().filename().string();
        std::error_code itemError;
        // A tty without a device behind it is a console or a terminal, not a port.
        const fs::path device = fs::canonical(entry.path() / "device", itemError);
        if (itemError || !IsSerialName(name) || !fs::exists(devRoot / name, itemError)) continue;
        // The serial core keeps a tty for every UART slot; an empty slot has type 0.
        if (name.rfind("ttyS", 0) == 0 && Attribute(entry.path(), "type") == "0") continue;
        PortInfo port;
        port.path = (devRoot / name).string();
        if (const auto link = byId.find(name); link != byId.end()) port.byId = link->second;
        port.driver = DriverOf(device, sysRoot);
        if (const fs::path usb = UsbDeviceOf(device, sysRoot); !usb.empty()) {
            TakeUsbDevice(usb, port);
            usbWithPort.push_back(usb);
        }
        survey.ports.push_back(std::move(port));
    }
    std::sort(survey.ports.begin(), survey.ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return a.path < b.path; });

    std::set<std::string> devices;
    for (const PortInfo& port : survey.ports) devices.insert(port.path);
    const ProcessScan scan = ScanProcesses(roots.proc, devices, roots.selfPid != 0 ? roots.selfPid : ::getpid());
    for (PortInfo& port : survey.ports)
        if (const auto held = scan.holders.find(port.path); held != scan.holders.end()) port.holders = held->second;
    survey.modemManagerRunning = scan.programs.count("ModemManager") != 0;
    survey.brlttyRunning = scan.programs.count("brltty") != 0;
    if (!survey.brlttyRunning) return survey;

    // brltty claims the bridges it wants through usbfs: the USB device stays,
    // its port goes.
    for (const auto& entry : fs::directory_iterator(sysRoot / "bus" / "usb" / "devices", error)) {
        std::error_code itemError;
        const fs::path usb = fs::canonical(entry.path(), itemError);
        PortInfo adapter;
        if (itemError || !fs::exists(usb / "idVendor", itemError)) continue;
        TakeUsbDevice(usb, adapter);
        if (!adapter.usb || !IsBrailleBridge(adapter.vendorId, adapter.productId) ||
            std::find(usbWithPort.begin(), usbWithPort.end(), usb) != usbWithPort.end())
            continue;
        survey.portless.push_back(std::move(adapter));
    }
    return survey;
}

PortSurvey SurveyPorts() {
    return SurveyPorts(SystemRoots{});
}

std::string CanonicalPortName(const std::string& name) {
    // COM1 stands for /dev/ttyS0; a link (/dev/serial/by-id/..., a link the
    // simulated board made) names the device it points to.
    const std::string path = CPosixSerialDevice::DevicePath(name);
    std::error_code error;
    const fs::path device = fs::canonical(path, error);
    return error ? path : device.string();
}

}  // namespace pelican
