#pragma once
// "Blank...": reads a range of the flash page by page and stops at the
// first byte that is not erased (0xFF).
#include "commands/CheckMemorryCmd.h"

namespace pelican {

class CBlankCmd : public CCheckMemorryCmd {
public:
    explicit CBlankCmd(IAppHost& host) : CCheckMemorryCmd(host) {}
    // Done when the whole range is blank (no message: the progress window
    // closing is the sign); Failed at the first byte that is not.
    Outcome Run();

    // The blank phase over a settled range, as B.P.R. runs it too.
    Outcome CheckBlank(uint32_t start, uint32_t end);

    // The offset of a page's first byte that is not FF; kPageSize when none.
    static uint32_t FirstNotBlank(const uint8_t* page);
};

}  // namespace pelican
