#pragma once
// What one board's session keeps from one command to the next, beside its
// port, image and flags: what its dialogs remember for as long as the
// program runs, and who hears of its page loops and retries. The window program serves
// one board; every board of a gang has a session of its own, so that no
// board proposes another's range, interval or MCU type.
#include <cstdint>
#include <string>

#include "commands/BoardEvents.h"
#include "protocol/Protocol.h"
#include "sys/InputFile.h"

namespace pelican {


// How the user gives the board's ID when no ".id" file gives it: the ID
// Check dialog's fields, or the command line's --id.
enum class IdEntry { Fields, CommandLine };

struct BoardSession {
    // "Input Address": the texts confirmed last, proposed again; the flash
    // of Orca/S P until the user confirms others.
    std::string rangeStart = "0C0000";
    std::string rangeEnd = "0FFFFF";
    // The MCU type the ID Check settled: 0 Orca/S P, 1 Orca/W.
    int mcuType = 0;
    // "Set baudrate": the pause after each page program and download frame.
    int programInterval = protocol::kDefaultProgramInterval;
    // The program file last warned of for its missing termination record:
    // each load of one file is not warned of again.
    FileIdentity unendedTold;
    // What the ID Check's notes name as the way to give an ID.
    IdEntry idEntry = IdEntry::Fields;
    // Who hears of the board's page loops, retries and notes (not owned);
    // none: the windows show them, or nothing does.
    IBoardEvents* events = nullptr;
};

}  // namespace pelican
