#pragma once
// "Read...": reads a range of the flash page by page and compares it with
// the loaded file, stopping at the first byte that differs. The read-back
// phases of E.P.R. and B.P.R. are the same loop.
#include "commands/CheckMemorryCmd.h"

namespace pelican {

class CReadCmd : public CCheckMemorryCmd {
public:
    explicit CReadCmd(IAppHost& host) : CCheckMemorryCmd(host) {}
    // Done when no difference was found (no message); Failed after "Find
    // not match at address"; Cancelled (silently) or LinkLost otherwise.
    Outcome Run();

    // Which bytes of a page the comparison looks at.
    enum class Compare {
        FileData,   // the image's bytes other than FF: FF stands for "no data" as well
        EveryByte,  // all 256, where the range was erased or found blank before programming
    };

    // The read-back phase over a settled range: Done without a difference,
    // Failed after its message, LinkLost after a failed page read, Cancelled
    // when the progress window was closed.
    Outcome ComparePages(uint32_t start, uint32_t end, Compare compare);
};

}  // namespace pelican
