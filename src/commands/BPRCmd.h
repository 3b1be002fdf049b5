#pragma once
// "B. P. R...": check that a range is blank, program it and read it back
// byte for byte, in one run.
#include "commands/CheckMemorryCmd.h"

namespace pelican {

class CBPRCmd : public CCheckMemorryCmd {
public:
    explicit CBPRCmd(IAppHost& host) : CCheckMemorryCmd(host) {}
    // Done after "Program OK." with the whole range read back; Cancelled
    // when the user stopped it; Refused when nothing was sent; Failed or
    // LinkLost after a byte not blank, an error or a difference.
    Outcome Run();
};

}  // namespace pelican
