#pragma once
// "Status...": one status read, shown decoded. Changes no flag.
#include "commands/Command.h"
#include "commands/Outcome.h"

namespace pelican {

class CStatesCmd : public CCommand {
public:
    using CCommand::CCommand;
    // Done when the dialog was shown, LinkLost when the device did not answer.
    Outcome Run();
};

}  // namespace pelican
