#pragma once
// "Version...": asks the boot loader for its version text.
#include "commands/Command.h"
#include "commands/Outcome.h"

namespace pelican {

class CVersionCmd : public CCommand {
public:
    using CCommand::CCommand;
    // A silent device shows as the version "ERROR" and ends Failed.
    Outcome Run();
};

}  // namespace pelican
