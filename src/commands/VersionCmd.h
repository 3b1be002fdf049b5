#pragma once
// "Version...": asks the boot loader for its version text.
#include "commands/Command.h"

namespace pelican {

class CVersionCmd : public CCommand {
public:
    // Always 1: a silent device shows as the version "ERROR".
    int Run();
};

}  // namespace pelican
