#pragma once
// "Program...": writes the loaded file into the flash over a confirmed
// range, one Page program frame per page, with the program interval and a
// status check after each page, and a last status read that decides the
// message. E.P.R. and B.P.R. run its phase and its ending too.
#include "commands/CheckMemorryCmd.h"

namespace pelican {

class CProgramCmd : public CCheckMemorryCmd {
public:
    explicit CProgramCmd(IAppHost& host) : CCheckMemorryCmd(host) {}
    // Done after "Program OK."; Failed or LinkLost after "Program error.";
    // Cancelled after "Stop programming."; Refused when nothing was sent.
    Outcome Run();

    // What programming needs before anything is sent: the range from
    // "Input Address", the program interval, and a range that goes upward
    // ("Too small start address." otherwise).
    Outcome AskProgramWork(uint32_t& start, uint32_t& end, uint32_t& interval);

    // "Program next area." with the range; false, after "Stop programming."
    // (no icon), when the user cancelled it.
    bool ConfirmRange(uint32_t start, uint32_t end);

    // The program phase over a settled range: Clear status, then for every
    // page its frame (FF where the file has no data), the pause of interval
    // milliseconds and the page's status. Done when every page was taken;
    // Failed at the first page the device reports failed; LinkLost when a
    // status did not come (the recovery has run); Cancelled when the
    // progress window was closed (the caller says "Stop programming.").
    // onPageFailure, when given, hears of a failed or lost page while the
    // progress window is still open.
    Outcome ProgramPages(uint32_t start, uint32_t end, uint32_t interval,
                         const std::function<void(Outcome)>& onPageFailure = nullptr);

    // The last status read and its message. sofar is how the run went
    // before it: a failed or lost page stays an error whatever the last
    // status says (a device reset by the recovery reads back clear).
    // "Program OK." gives sofar back (Done, or Cancelled after a stopped
    // read-back); "Program error." gives Failed, or LinkLost when a status
    // never came.
    Outcome ReportFinalStatus(Outcome sofar);
};

}  // namespace pelican
