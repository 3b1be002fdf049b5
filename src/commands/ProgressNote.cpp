#include "commands/ProgressNote.h"

#include <cstdio>

#include "commands/CheckMemorryCmd.h"

namespace pelican {

std::string CProgressNote::Pages(uint32_t done, uint32_t total, uint64_t elapsedMs) {
    char text[96];
    const char* unit = total == 1 ? "page" : "pages";
    if (done == 0 || elapsedMs == 0) {
        std::snprintf(text, sizeof text, "%u of %u %s, - KiB/s, -:-- left", done, total, unit);
        return text;
    }
    const uint64_t bytes = uint64_t{done} * CCheckMemorryCmd::kPageSize;
    const double rate = static_cast<double>(bytes * 1000 / elapsedMs) / 1024.0;
    const uint64_t rest = total > done ? total - done : 0;
    // Rounded up: "0:00 left" only once the last page is in.
    const uint64_t seconds = (rest * elapsedMs + uint64_t{done} * 1000 - 1) / (uint64_t{done} * 1000);
    std::snprintf(text, sizeof text, "%u of %u %s, %.1f KiB/s, %u:%02u left", done, total, unit, rate,
                  static_cast<unsigned>(seconds / 60), static_cast<unsigned>(seconds % 60));
    return text;
}

std::string CProgressNote::Erase(uint64_t elapsedMs, uint32_t boundMs) {
    return std::to_string(elapsedMs / 1000) + " s of at most " + std::to_string(boundMs / 1000) + " s";
}

}  // namespace pelican
