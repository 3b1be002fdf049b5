#pragma once
// How batch mode shows a board's run: its messages and results as lines on
// standard output (text, or one JSON object per line with --json), its
// account on standard error, and a progress bar drawn over itself when
// standard error is a terminal. It only listens to the run's events.
#include <cstdint>
#include <functional>
#include <string>

#include "station/RunEvents.h"

namespace pelican {

class CBatchRunner;

class CRunPrinter final : public IRunListener {
public:
    // runner: told when standard output is lost, and given a point to act
    // on a signal after each line (a closed pipe raises SIGPIPE there).
    CRunPrinter(CBatchRunner& runner, bool json);

    void OnEvent(const event::RunEvent& event) override;

    // Where the lines go (standard output unless replaced).
    std::function<void(const std::string&)> m_print;
    // Where the account of the run goes (standard error unless replaced).
    std::function<void(const std::string&)> m_report;
    // Whether standard error is a terminal to draw the progress bar on.
    bool m_showProgress = false;

    // "stop: Erase error." with line breaks as spaces and control
    // characters escaped.
    static std::string MessageLine(ui::Icon icon, const std::string& text);
    // "Program [#########...........]  45%  12 pages" for a terminal, after
    // pages of totalPages.
    static std::string ProgressLine(const std::string& title, int pages, uint32_t totalPages);
    // The same with the rate and the time left, after pages in elapsedMs:
    // "...  12 pages    3.9 KiB/s  0:14 left".
    static std::string ProgressLine(const std::string& title, int pages, uint64_t elapsedMs, uint32_t totalPages);
    // The flash bytes of pages (256 each) per second over milliseconds; 0
    // when no time could be measured.
    static int64_t BytesPerSecond(uint64_t pages, uint64_t milliseconds);

private:
    void Show(const event::Message& message);
    void Show(const event::Report& report);
    void Show(const event::StatusRead& status);
    void Show(const event::VersionRead& version);
    void Show(const event::ActionBegun&) {}
    void Show(const event::ActionEnded&) {}
    void Show(const event::PhaseBegun&) {}
    void Show(const event::PhaseMoved& moved);
    void Show(const event::PhaseEnded& ended);
    void Show(const event::Retry& retry);
    void Show(const event::Asking&) { EndBarLine(); }
    void Show(const event::RunEnded& ended);

    // A line of the results; with --json it names the board's port, since a
    // gang's boards share the output.
    void Print(const std::string& line);
    void PrintLine(const std::string& line);
    void Account(const std::string& text);
    // The bar is drawn over itself without a line end: whatever comes next
    // on the terminal starts a line of its own instead of being written
    // onto the bar's end.
    void EndBarLine();

    CBatchRunner& m_runner;
    const bool m_json;
    bool m_barShown = false;
};

}  // namespace pelican
