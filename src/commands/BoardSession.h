#pragma once
// What one board's session keeps from one command to the next, beside its
// port, image and flags: what its dialogs remember for as long as the
// program runs, and who hears of its page loops. The window program serves
// one board; every board of a gang has a session of its own, so that no
// board proposes another's range, interval or MCU type.
#include <cstdint>
#include <functional>
#include <string>

#include "commands/Outcome.h"
#include "protocol/Protocol.h"

namespace pelican {

// A page loop: its title, range, the pages it visits (when it begins) or
// visited (when it ends), its outcome and duration on the port's clock.
struct PhaseRecord {
    std::string title;
    uint32_t start = 0;
    uint32_t end = 0;
    Outcome outcome = Outcome::Done;
    uint64_t milliseconds = 0;
    uint32_t pages = 0;
};

struct BoardSession {
    // "Input Address": the texts confirmed last, proposed again; the flash
    // of Orca/S P until the user confirms others.
    std::string rangeStart = "0C0000";
    std::string rangeEnd = "0FFFFF";
    // The MCU type the ID Check settled: 0 Orca/S P, 1 Orca/W.
    int mcuType = 0;
    // "Set baudrate": the pause after each page program and download frame.
    int programInterval = protocol::kDefaultProgramInterval;
    // Told of every page loop as it begins and as it ends.
    std::function<void(const PhaseRecord&)> onPhaseBegun;
    std::function<void(const PhaseRecord&)> onPhaseEnded;
};

}  // namespace pelican
