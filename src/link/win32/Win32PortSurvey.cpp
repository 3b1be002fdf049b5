// The COM ports of a Windows machine through SetupAPI, without opening any:
// the devices of the Ports class and those that offer the COM port
// interface, each with its "PortName" (the device's hardware key), friendly
// name, maker, hardware id (USB ids), instance id (serial number) and, for
// FTDI's driver, the latency timer it keeps in the same key. Ports that
// only the serial device map names (drivers without a PnP device, Wine's
// ports) are added by name.
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

#include "link/HardwareId.h"
#include "link/PortInfo.h"
#include "link/win32/Win32PortList.h"
#include "sys/win32/WideText.h"

namespace pelican {
namespace {

// The Ports setup class and the COM port device interface class.
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr GUID kComPortInterface = {0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};
// FTDI's driver holds short replies this long unless told otherwise.
constexpr int kFtdiDefaultLatencyMs = 16;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A text property (the first string of a REG_MULTI_SZ); empty when the
// device has none. The size is asked first; the buffer gets room for two
// terminators, which a property need not carry.
std::string TextProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD type = 0;
    DWORD bytes = 0;
    ::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &bytes);
    if (bytes == 0 || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || (type != REG_SZ && type != REG_MULTI_SZ))
        return std::string();
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 2, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(text.data()),
                                             bytes, nullptr))
        return std::string();
    return Narrow(text.data());
}

std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (!::SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, nullptr)) return std::string();
    return Narrow(id);
}

// The instance id of the device's parent: the USB device whose interface
// the port is, for a composite device.
std::string ParentInstanceId(DEVINST device) {
    DEVINST parent = 0;
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (::CM_Get_Parent(&parent, device, 0) != CR_SUCCESS ||
        ::CM_Get_Device_IDW(parent, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS)
        return std::string();
    return Narrow(id);
}

// A string value of the device's hardware key, or empty.
std::string KeyText(HKEY key, const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD type = 0;
    DWORD bytes = sizeof text - sizeof(wchar_t);  // room for a terminator the value may lack
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    text[bytes / sizeof(wchar_t)] = L'\0';
    return Narrow(text);
}

int KeyNumber(HKEY key, const wchar_t* name, int fallback) {
    DWORD value = 0;
    DWORD type = 0;
    DWORD bytes = sizeof value;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return fallback;
    return static_cast<int>(value);
}

// Every device of the set that has a COM port name, by that name.
void TakeDevices(HDEVINFO set, std::map<std::string, PortInfo>& ports) {
    if (set == INVALID_HANDLE_VALUE) return;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!::SetupDiEnumDeviceInfo(set, index, &device)) break;  // ERROR_NO_MORE_ITEMS, or no more to be had
        PortInfo port;
        // The hardware key ("Device Parameters") holds the port's name and
        // the settings of its driver.
        const HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) continue;
        port.path = Upper(KeyText(key, L"PortName"));
        const int latency = KeyNumber(key, L"LatencyTimer", kFtdiDefaultLatencyMs);
        ::RegCloseKey(key);
        if (port.path.rfind("COM", 0) != 0 || ports.count(port.path) != 0) continue;  // LPT ports; seen already
        port.friendlyName = TextProperty(set, device, SPDRP_FRIENDLYNAME);
        port.manufacturer = TextProperty(set, device, SPDRP_MFG);
        port.driver = TextProperty(set, device, SPDRP_SERVICE);
        std::string instance = InstanceId(set, device);
        port.usb = ParseUsbIds(TextProperty(set, device, SPDRP_HARDWAREID), port.vendorId, port.productId) ||
                   ParseUsbIds(instance, port.vendorId, port.productId);
        if (IsInterfaceOfComposite(instance)) instance = ParentInstanceId(device.DevInst);
        port.serialNumber = SerialOfInstanceId(instance);
        if (port.usb && port.vendorId == 0x0403) port.latencyTimerMs = latency;
        ports.emplace(port.path, std::move(port));
    }
    ::SetupDiDestroyDeviceInfoList(set);
}

}  // namespace

PortSurvey SurveyPorts() {
    std::map<std::string, PortInfo> found;
    TakeDevices(::SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT), found);
    TakeDevices(::SetupDiGetClassDevsW(&kComPortInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
                found);
    // Ports in the serial device map without a device of their own.
    for (const std::string& mapped : Win32MappedPorts()) {
        const std::string name = Upper(mapped);
        if (found.count(name) != 0) continue;
        PortInfo port;
        port.path = name;
        found.emplace(name, std::move(port));
    }
    PortSurvey survey;
    for (auto& [name, port] : found) survey.ports.push_back(std::move(port));
    // COM2 before COM10.
    std::sort(survey.ports.begin(), survey.ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return a.path.size() != b.path.size() ? a.path.size() < b.path.size() : a.path < b.path;
    });
    return survey;
}

std::string CanonicalPortName(const std::string& name) {
    const std::string upper = Upper(name);
    return upper.rfind("COM", 0) == 0 ? upper : name;
}

}  // namespace pelican
