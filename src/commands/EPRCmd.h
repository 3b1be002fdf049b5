#pragma once
// "E. P. R...": erase the flash, program the image's range and read it back,
// in one run. Asked for with "Erase?" by the main window; the range is the
// image's own, without a dialog.
#include <optional>

#include "commands/CheckMemorryCmd.h"

namespace pelican {

class CEPRCmd : public CCheckMemorryCmd {
public:
    explicit CEPRCmd(IAppHost& host) : CCheckMemorryCmd(host) {}
    // Done after "Program OK." with the whole range read back; Cancelled
    // after "Stop programming.", or after "Program OK." when the read-back
    // was stopped; Failed or LinkLost after an error or a difference.
    Outcome Run();

private:
    // After a resume refused because the board wrote flash nobody sent it:
    // true when a retry is left to start over with the erase (told).
    static bool StartOverAfterStrayWrite(class CPageRetry& retry, const char* exchange,
                                         std::optional<uint32_t> address);
};

}  // namespace pelican
