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
    // when the progress window was closed. When the run allows retries, a
    // page that differs is read again until two reads agree, and a failed
    // read goes on after the recovery. onDifference, when given, hears of
    // the first byte that differs; when it takes the difference over (a
    // start over), the phase ends Failed without the message.
    Outcome ComparePages(uint32_t start, uint32_t end, Compare compare,
                         const std::function<bool(uint32_t address)>& onDifference = nullptr);

    // The offset of the first byte of a page read from the device that
    // differs from the image's page under compare; kPageSize when none.
    static uint32_t FirstDifference(const uint8_t* device, const uint8_t* image, Compare compare);
};

}  // namespace pelican
