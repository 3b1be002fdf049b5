#pragma once
// "Erase": the boot loader's Erase all over the whole flash, and its result
// from the status bytes. Asked for with "Erase?" by the main window.
#include "commands/Command.h"

namespace pelican {

class CEraseCmd : public CCommand {
public:
    explicit CEraseCmd(IAppHost& host) : CCommand(host) {}
    // Done after "Erase OK."; Failed or LinkLost after "Erase error.".
    Outcome Run();

    // The erase exchange alone, without a message of its own (E.P.R. runs
    // it as its first phase): Done, Failed when the device reports the
    // erase failed, LinkLost when its status did not come (why, when
    // given, says how that read ended).
    Outcome EraseAll(ReadResult* why = nullptr);
};

}  // namespace pelican
