#include "sys/Station.h"

#include <cstdio>
#include <cstdlib>

namespace pelican {

std::string CStation::FormatTime(int year, int month, int day, int hour, int minute, int second,
                                 long offsetSeconds) {
    // The offset in whole minutes, as ISO 8601 writes it: +00:00 for UTC.
    const long minutes = std::labs(offsetSeconds) / 60;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", year, month, day, hour, minute,
                  second, offsetSeconds < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

}  // namespace pelican
