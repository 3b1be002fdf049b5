#pragma once
// "Setting...": the "Set baudrate" dialog and the change it asks for.
#include <cstdint>

#include "commands/Command.h"

namespace pelican {

class CSettingCmd : public CCommand {
public:
    using CCommand::CCommand;
    // The rate in force afterwards, or 0 when cancelled or the change failed.
    uint32_t Run();
};

}  // namespace pelican
