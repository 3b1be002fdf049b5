#include "link/win32/Win32PortList.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <utility>

#include "sys/win32/WideText.h"

namespace pelican {
namespace {

// The number of "COMn" in any letter case, or 0.
unsigned long ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 12) return 0;
    for (size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    unsigned long number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        number = number * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    return number;
}

}  // namespace

std::vector<std::string> PortListOf(const std::vector<std::string>& mapped) {
    std::set<unsigned long> numbers = {1, 2, 3, 4};
    std::set<std::string> others;
    for (const std::string& name : mapped) {
        if (name.empty()) continue;
        if (const unsigned long number = ComNumber(name); number != 0)
            numbers.insert(number);
        else
            others.insert(name);
    }
    std::vector<std::string> ports;
    for (const unsigned long number : numbers) ports.push_back("COM" + std::to_string(number));
    ports.insert(ports.end(), others.begin(), others.end());
    return ports;
}

std::vector<std::string> Win32MappedPorts() {
    // Read from the device map that the serial drivers fill in, so that no
    // port is opened (opening can reset a board through DTR).
    std::vector<std::string> mapped;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) ==
        ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            wchar_t valueName[256];
            DWORD nameLength = static_cast<DWORD>(std::size(valueName));
            wchar_t data[256] = {};
            DWORD dataBytes = sizeof data - sizeof(wchar_t);  // room for a terminator the value may lack
            DWORD type = 0;
            const LSTATUS rc = ::RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type,
                                               reinterpret_cast<BYTE*>(data), &dataBytes);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS || type != REG_SZ) continue;  // too long, or not a name
            data[dataBytes / sizeof(wchar_t)] = L'\0';
            mapped.push_back(Narrow(data));
        }
        ::RegCloseKey(key);
    }
    return mapped;
}

std::vector<std::string> Win32PortList() {
    return PortListOf(Win32MappedPorts());
}

}  // namespace pelican
