#pragma once
// The line and the cell of one board of a gang, kept up from its run's page
// loops: "Program        12/120   pages      3.9 KiB/s", "P 12/120".
#include <cstdint>
#include <functional>
#include <string>

#include "production/BoardStatus.h"
#include "station/RunEvents.h"

namespace pelican {

class CBoardStatusFeed final : public IRunListener {
public:
    // ended: the page loop is over.
    using Show = std::function<void(const BoardStatus& status, bool ended)>;
    explicit CBoardStatusFeed(Show show) : m_show(std::move(show)) {}

    void OnEvent(const event::RunEvent& event) override;

    // The pages done of the pages the phase visits, and the rate.
    static std::string StatusLine(const std::string& title, int pages, uint32_t totalPages, uint64_t elapsedMs);
    // The same in a cell; the title's first letter tells the phases of one
    // action apart (Program, Read check.).
    static std::string StatusCell(const std::string& title, int pages, uint32_t totalPages);

private:
    Show m_show;
};

}  // namespace pelican
