#include "commands/BPRCmd.h"

#include "commands/BlankCmd.h"
#include "commands/PageRetry.h"
#include "commands/ProgramCmd.h"
#include "commands/ReadCmd.h"
#include "ui/Messages.h"

namespace pelican {

Outcome CBPRCmd::Run() {
    CProgramCmd program(Host());
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t interval = 0;
    if (const Outcome asked = program.AskProgramWork(start, end, interval); asked != Outcome::Done) return asked;
    if (!CheckImageInFlash(start, end)) return Outcome::Refused;
    // Programming only clears bits: a range that is not blank cannot take
    // the file, so nothing is sent to it.
    if (const Outcome blank = CBlankCmd(Host()).CheckBlank(start, end); blank != Outcome::Done) return blank;

    if (!program.ConfirmRange(start, end)) return Outcome::Cancelled;
    // The range was found blank: a page whose status never came is known
    // byte for byte when it is read back.
    CProgramCmd::PageRules rules;
    rules.compare = CReadCmd::Compare::EveryByte;
    // The blank check proved every byte of the range FF: a page the file
    // leaves all FF can change nothing, but on a line bad enough to need
    // retries its frame may arrive spoilt, and a page spoilt without an
    // erase can never be redone. The read-back still reads every page.
    rules.onlyNotBlankPages = CPageRetry(Host()).Enabled();
    const Outcome programmed = program.ProgramPages(start, end, interval, rules);
    if (programmed == Outcome::Cancelled) {
        ui::MessageBox(Ui(), ui::IDS_STOP_PROGRAMMING, ui::Icon::Information);
        return Outcome::Cancelled;
    }
    // A status that never came has cost the link: the recovery had the board
    // reset, which forgets its ID check and its failure bits, so neither a
    // read-back nor a last status read could tell anything true.
    if (programmed == Outcome::LinkLost) {
        ui::MessageBox(Ui(), ui::IDS_PROGRAM_ERROR, ui::Icon::Stop);
        return programmed;
    }
    // A failed page ends only the program phase: the read-back shows where
    // the flash differs, and the last status read reports the failure.
    // Every byte is compared, so that a byte the range held before (blank
    // as it was checked) where the file has none shows as well.
    const Outcome verified = CReadCmd(Host()).ComparePages(start, end, CReadCmd::Compare::EveryByte);
    if (verified == Outcome::Failed || verified == Outcome::LinkLost) return verified;
    return program.ReportFinalStatus(programmed != Outcome::Done ? programmed : verified);
}

}  // namespace pelican
