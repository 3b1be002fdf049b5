#pragma once
// The line under a progress window's message: how far a page loop has got
// (pages, rate, time left, as batch mode's bar tells them), or how long the
// erase has been waited for against the longest it may take.
#include <cstdint>
#include <string>

namespace pelican {

class CProgressNote {
public:
    // "3 of 16 pages, 0.7 KiB/s, 0:12 left"; rate and time once a page is
    // done ("-" before).
    static std::string Pages(uint32_t done, uint32_t total, uint64_t elapsedMs);
    // "12 s of at most 40 s", in whole seconds.
    static std::string Erase(uint64_t elapsedMs, uint32_t boundMs);
};

}  // namespace pelican
