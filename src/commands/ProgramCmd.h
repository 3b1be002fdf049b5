#pragma once
// "Program...": writes the loaded file into the flash over a confirmed
// range, one Page program frame per page, with the program interval and a
// status check after each page, and a last status read that decides the
// message. E.P.R. and B.P.R. run its phase and its ending too.
#include "commands/CheckMemorryCmd.h"
#include "commands/ReadCmd.h"

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

    // How a program phase meets a page that did not go as it should.
    struct PageRules {
        // How a page whose status never came is compared with the file
        // when it is read back (with retries): every byte where the range
        // was erased or found blank, else the file's data bytes only.
        CReadCmd::Compare compare = CReadCmd::Compare::FileData;
        // Hears of a failed or lost page while the progress window is
        // still open: true when the caller takes it over (a start over),
        // and the phase ends Failed.
        std::function<bool(uint32_t address, Outcome status)> onPageFailure;
        // A page whose status never came and that reads back neither as
        // the file nor blank: true when the caller takes it over (E.P.R.
        // starts over with its erase), and the phase ends Failed without a
        // word; otherwise the page counts as failed.
        std::function<bool(uint32_t address)> onSpoilt;
        // A page whose status never came, when the status after the
        // recovery shows that the board wrote flash nobody sent it: true
        // when the caller takes it over (E.P.R. starts over with its
        // erase), and the phase ends Failed without a word; otherwise the
        // phase ends as with the link lost.
        std::function<bool(uint32_t address)> onStrayWrite;
        // Send only the pages for which the file gives data, whatever the
        // user chose (an E.P.R. that starts over: see there).
        bool onlyDataPages = false;
        // Send only the pages for which the file gives a byte other than FF
        // (a range found blank, on a line that may spoil what it carries).
        bool onlyNotBlankPages = false;
    };

    // The program phase over a settled range: Clear status, then for every
    // page its frame (FF where the file has no data), the pause of interval
    // milliseconds and the page's status. Done when every page was taken;
    // Failed at the first page the device reports failed; LinkLost when a
    // status did not come (the recovery has run); Cancelled when the
    // progress window was closed (the caller says "Stop programming.").
    // When the run allows retries, a page whose status never came is read
    // back after the recovery: as the file, the phase goes on; blank, it is
    // programmed again; otherwise it is spoilt (see PageRules).
    Outcome ProgramPages(uint32_t start, uint32_t end, uint32_t interval, const PageRules& rules);
    Outcome ProgramPages(uint32_t start, uint32_t end, uint32_t interval);

    // The last status read and its message. sofar is how the run went
    // before it: a failed or lost page stays an error whatever the last
    // status says (a device reset by the recovery reads back clear).
    // "Program OK." gives sofar back (Done, or Cancelled after a stopped
    // read-back); "Program error." gives Failed, or LinkLost when a status
    // never came.
    Outcome ReportFinalStatus(Outcome sofar);

private:
    // What a page whose status never came holds, once the link is back.
    enum class LostPage {
        AsTheFile,   // it took its data: go on
        Blank,       // it took nothing: program it again
        Spoilt,      // neither: it cannot be programmed again without an erase
        Unreadable,  // no two reads agreed (told)
        NoRetry,     // no retry left, or the link did not come back
        StrayWrite,  // the board wrote what was not sent since the failure
    };
    // One Page program frame.
    void Send(uint32_t address, const uint8_t* page);
    LostPage ReadBackLostPage(uint32_t address, const uint8_t* page, CReadCmd::Compare compare, ReadResult why);
};

}  // namespace pelican
