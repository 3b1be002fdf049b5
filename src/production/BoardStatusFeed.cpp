#include "production/BoardStatusFeed.h"

#include <cstdio>

#include "station/RunPrinter.h"

namespace pelican {

void CBoardStatusFeed::OnEvent(const event::RunEvent& event) {
    if (const auto* begun = std::get_if<event::PhaseBegun>(&event)) {
        const PhaseRecord& phase = begun->phase;
        m_show({StatusLine(phase.title, 0, phase.pages, 0), StatusCell(phase.title, 0, phase.pages)}, false);
    } else if (const auto* moved = std::get_if<event::PhaseMoved>(&event)) {
        m_show({StatusLine(moved->title, moved->pages, moved->due, moved->elapsedMs),
                StatusCell(moved->title, moved->pages, moved->due)},
               false);
    } else if (const auto* ended = std::get_if<event::PhaseEnded>(&event)) {
        // The pages it visited of those it was to visit: a phase that
        // stopped early did not do them all.
        const PhaseRecord& phase = ended->phase;
        const auto done = static_cast<int>(phase.pages);
        m_show({StatusLine(phase.title, done, ended->due, phase.milliseconds) + "  " + OutcomeName(phase.outcome),
                StatusCell(phase.title, done, ended->due)},
               true);
    }
}

std::string CBoardStatusFeed::StatusLine(const std::string& title, int pages, uint32_t totalPages,
                                         uint64_t elapsedMs) {
    char text[96];
    const double rate =
        static_cast<double>(CRunPrinter::BytesPerSecond(static_cast<uint64_t>(pages > 0 ? pages : 0), elapsedMs)) /
        1024.0;
    if (pages <= 0 || elapsedMs == 0)
        std::snprintf(text, sizeof text, "%-14s %5d/%-5u pages  %7s KiB/s", title.c_str(), pages, totalPages, "-");
    else
        std::snprintf(text, sizeof text, "%-14s %5d/%-5u pages  %7.1f KiB/s", title.c_str(), pages, totalPages, rate);
    return text;
}

std::string CBoardStatusFeed::StatusCell(const std::string& title, int pages, uint32_t totalPages) {
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

}  // namespace pelican
