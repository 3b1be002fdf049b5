// The terminal progress bar of batch mode, and the rate of a page loop.
#include <algorithm>
#include <cstdio>

#include "batch/BatchRunner.h"
#include "commands/CheckMemorryCmd.h"

namespace pelican {

int64_t CBatchRunner::BytesPerSecond(uint64_t pages, uint64_t milliseconds) {
    return milliseconds == 0 ? 0 : static_cast<int64_t>(pages * CCheckMemorryCmd::kPageSize * 1000 / milliseconds);
}

std::string CBatchRunner::ProgressLine(const std::string& title, int pages, uint32_t totalPages) {
    constexpr int kWidth = 30;
    // Counted in pages, not in the window's bar steps (500 bytes each, and
    // the range's first page left out): each page moves it, and it is full
    // with the last one.
    const int64_t done = pages < 0 ? 0 : std::min<int64_t>(pages, totalPages);
    const int percent = totalPages == 0 ? 100 : static_cast<int>(done * 100 / totalPages);
    const int filled = percent * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '.');
    char tail[48];
    std::snprintf(tail, sizeof tail, "] %3d%%  %d page%s", percent, pages, pages == 1 ? "" : "s");
    return title + " [" + bar + tail;
}

std::string CBatchRunner::StatusLine(const std::string& title, int pages, uint32_t totalPages, uint64_t elapsedMs) {
    char text[96];
    const double rate = static_cast<double>(BytesPerSecond(static_cast<uint64_t>(pages > 0 ? pages : 0), elapsedMs)) / 1024.0;
    if (pages <= 0 || elapsedMs == 0)
        std::snprintf(text, sizeof text, "%-14s %5d/%-5u pages  %7s KiB/s", title.c_str(), pages, totalPages, "-");
    else
        std::snprintf(text, sizeof text, "%-14s %5d/%-5u pages  %7.1f KiB/s", title.c_str(), pages, totalPages, rate);
    return text;
}

std::string CBatchRunner::StatusCell(const std::string& title, int pages, uint32_t totalPages) {
    // The title's first letter tells the phases of one action apart
    // (Program, Read check.).
    // Appended piece by piece: MinGW's GCC 12 at -O3 sees an overlapping
    // copy in a chain of string sums that is not there.
    std::string cell;
    if (!title.empty()) {
        cell += title[0];
        cell += ' ';
    }
    cell += std::to_string(pages < 0 ? 0 : pages);
    cell += '/';
    cell += std::to_string(totalPages);
    return cell;
}

std::string CBatchRunner::ProgressLine(const std::string& title, int pages, uint64_t elapsedMs, uint32_t totalPages) {
    // Fixed widths: the line is drawn over itself with a carriage return.
    char tail[64];
    if (pages <= 0 || elapsedMs == 0) {
        std::snprintf(tail, sizeof tail, "  %7s KiB/s  %5s left", "-", "-:--");
    } else {
        const auto done = static_cast<uint64_t>(pages);
        const double rate = static_cast<double>(BytesPerSecond(done, elapsedMs)) / 1024.0;
        const uint64_t rest = totalPages > done ? totalPages - done : 0;
        // Rounded up: "0:00 left" only once the last page is in.
        const uint64_t seconds = (rest * elapsedMs + done * 1000 - 1) / (done * 1000);
        std::snprintf(tail, sizeof tail, "  %7.1f KiB/s  %2u:%02u left", rate, static_cast<unsigned>(seconds / 60),
                      static_cast<unsigned>(seconds % 60));
    }
    return ProgressLine(title, pages, totalPages) + tail;
}

}  // namespace pelican
