#include "commands/EPRCmd.h"

#include "commands/EraseCmd.h"
#include "commands/ProgramCmd.h"
#include "commands/ReadCmd.h"
#include "ui/Messages.h"

namespace pelican {

Outcome CEPRCmd::Run() {
    // Data the chip has no flash for would be found only at their page,
    // after the whole flash was erased.
    if (!CheckImageInFlash()) return Outcome::Refused;
    const Outcome erased = CEraseCmd(Host()).EraseAll();
    if (erased != Outcome::Done) {
        ui::MessageBox(ui::IDS_ERASE_ERROR, ui::Icon::Stop);
        return erased;
    }
    uint32_t start = 0;
    uint32_t end = 0;
    GetImageRange(start, end);
    uint32_t interval = 0;
    if (!GetProgramInterval(interval)) return Outcome::Refused;
    if (!CheckRangeValid(start, end)) return Outcome::Refused;

    CProgramCmd program(Host());
    // The flash was erased just before: a page that did not take its data
    // ends the run at once, told over the progress window it stopped in.
    bool told = false;
    const Outcome programmed = program.ProgramPages(start, end, interval, [&told](Outcome) {
        ui::MessageBox(ui::IDS_PROGRAM_ERROR, ui::Icon::Stop);
        told = true;
    });
    if (programmed == Outcome::Cancelled) {
        ui::MessageBox(ui::IDS_STOP_PROGRAMMING, ui::Icon::Information);
        return Outcome::Cancelled;
    }
    if (programmed != Outcome::Done) {
        // No progress window could be opened: no page was sent.
        if (!told) ui::MessageBox(ui::IDS_PROGRAM_ERROR, ui::Icon::Stop);
        return programmed;
    }

    // After the erase every byte of the range is known: the file's byte, or
    // FF where it has none. So every byte is compared: a bit flipped on its
    // way in a byte the file holds as FF is programmed like any other, and
    // only a full comparison finds it.
    const Outcome verified = CReadCmd(Host()).ComparePages(start, end, CReadCmd::Compare::EveryByte);
    if (verified == Outcome::Failed || verified == Outcome::LinkLost) return verified;
    // A stopped read-back still tells how the programming went.
    return program.ReportFinalStatus(verified);
}

}  // namespace pelican
