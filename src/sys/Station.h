#pragma once
// Where and when a run happened, for the record kept of each board: the
// machine's name and the local time with its offset from UTC.
#include <string>

namespace pelican {

class CStation {
public:
    // This machine's host name; empty when the system gives none.
    static std::string HostName();
    // The local time now in ISO 8601 with its offset, to the second:
    // "2026-12-09T10:42:07+01:00".
    static std::string LocalTime();
    // The same text for a local time and its offset east of UTC in seconds.
    static std::string FormatTime(int year, int month, int day, int hour, int minute, int second,
                                  long offsetSeconds);
};

}  // namespace pelican
