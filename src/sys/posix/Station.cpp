#include "sys/Station.h"

#include <unistd.h>

#include <ctime>

namespace pelican {

std::string CStation::HostName() {
    char name[256] = "";
    if (::gethostname(name, sizeof name - 1) != 0) return std::string();
    name[sizeof name - 1] = '\0';
    return name;
}

std::string CStation::LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) return std::string();
    return FormatTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                      local.tm_sec, local.tm_gmtoff);
}

}  // namespace pelican
