#include "sys/Station.h"

#include <windows.h>

#include <ctime>
#include <vector>

#include "sys/win32/WideText.h"

namespace pelican {

std::string CStation::HostName() {
    // The DNS host name, as the machine's other programs show it; a first
    // call with no buffer gives the size it needs.
    DWORD size = 0;
    ::GetComputerNameExW(ComputerNameDnsHostname, nullptr, &size);
    if (size == 0) return std::string();
    std::vector<wchar_t> name(size + 1, L'\0');
    if (!::GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size)) return std::string();
    return Narrow(name.data());
}

std::string CStation::LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_s(&local, &now) != 0) return std::string();
    // The offset is what the local time, read as UTC, is ahead of now.
    std::tm copy = local;
    const long offset = static_cast<long>(::_mkgmtime(&copy) - now);
    return FormatTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                      local.tm_sec, offset);
}

}  // namespace pelican
