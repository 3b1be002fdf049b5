#pragma once
// What one board's run tells about itself, as values. The run decides
// nothing from them; whoever listens (the text or JSON lines of batch mode,
// the gang's board lines) only shows them.
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "commands/BoardSession.h"
#include "commands/RetryBudget.h"
#include "ui/UiBackend.h"

namespace pelican::event {

// A message box of the window program, as it would have been shown.
struct Message {
    ui::Icon icon = ui::Icon::None;
    std::string text;
};

// The run's account of itself: the link, the port, resets, notes.
struct Report {
    std::string text;
    // Told on standard error even under --json: what could not go into the
    // results themselves (they were lost, or the record was).
    bool outsideResults = false;
};

// A dialog whose contents are the action's result: "Status" (the labelled
// fields, in the window's order) or "Version" (one text).
struct StatusRead {
    std::vector<std::pair<std::string, std::string>> fields;
    uint8_t status1 = 0;
    uint8_t status2 = 0;
};
struct VersionRead {
    std::string text;
};

// An action of the job: pressed (its button, or the step that has none)
// and ended with its outcome, at atMs on the port's clock.
struct ActionBegun {
    std::string name;
    uint64_t atMs = 0;
};
struct ActionEnded {
    std::string name;
    Outcome outcome = Outcome::Done;
    uint64_t atMs = 0;
};

// A page loop of the action in hand: begun with the pages it is to visit,
// moved on (pages done in elapsedMs), ended with its outcome.
struct PhaseBegun {
    std::string action;
    PhaseRecord phase;
};
struct PhaseMoved {
    std::string title;
    int pages = 0;
    uint32_t due = 0;
    uint64_t elapsedMs = 0;
};
struct PhaseEnded {
    std::string action;
    PhaseRecord phase;
    uint32_t due = 0;
};

// A retry taken, a page read again, what a recovery found.
struct Retry {
    RetryNote note;
};

// A question is about to be put to the person at the terminal.
struct Asking {};

// The run is over: its exit status, and that status in a word.
struct RunEnded {
    int status = 0;
    std::string outcome;
};

using RunEvent =
    std::variant<Message, Report, StatusRead, VersionRead, ActionBegun, ActionEnded, PhaseBegun, PhaseMoved, PhaseEnded,
                 Retry, Asking, RunEnded>;

}  // namespace pelican::event

namespace pelican {

class IRunListener {
public:
    virtual ~IRunListener() = default;
    virtual void OnEvent(const event::RunEvent& event) = 0;
};

}  // namespace pelican
