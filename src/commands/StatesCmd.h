#pragma once
// "Status...": one status read, shown decoded. Changes no flag.
#include "commands/Command.h"

namespace pelican {

class CStatesCmd : public CCommand {
public:
    // 1 when the dialog was shown, 0 when the device did not answer.
    int Run();
};

}  // namespace pelican
