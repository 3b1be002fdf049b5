#include "commands/EPRCmd.h"

#include "commands/EraseCmd.h"
#include "commands/PageRetry.h"
#include "commands/ProgramCmd.h"
#include "commands/ReadCmd.h"
#include "ui/Messages.h"

namespace pelican {

bool CEPRCmd::StartOverAfterStrayWrite(CPageRetry& retry, const char* exchange, std::optional<uint32_t> address) {
    // Whatever the board wrote since the failure, inside the range or
    // outside it, only an erase undoes.
    return retry.StrayWrite() &&
           retry.Take(CPageRetry::Note(exchange, address, "the board wrote what was not sent", "start over with the erase"));
}

Outcome CEPRCmd::Run() {
    // Data the chip has no flash for would be found only at their page,
    // after the whole flash was erased.
    if (!CheckImageInFlash()) return Outcome::Refused;
    CPageRetry retry(Host());
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t interval = 0;
    bool settled = false;
    for (unsigned attempts = 0;; ++attempts) {
        ReadResult why = ReadResult::Ok;
        const Outcome erased = CEraseCmd(Host()).EraseAll(&why);
        if (erased == Outcome::LinkLost &&
            (retry.Resume(CPageRetry::Note("erase status", std::nullopt, CPageRetry::Failure(why), "erase again")) ||
             StartOverAfterStrayWrite(retry, "erase status", std::nullopt)))
            continue;
        if (erased != Outcome::Done) {
            ui::MessageBox(Ui(), ui::IDS_ERASE_ERROR, ui::Icon::Stop);
            return erased;
        }
        if (!settled) {
            GetImageRange(start, end);
            if (!GetProgramInterval(interval)) return Outcome::Refused;
            if (!CheckRangeValid(start, end)) return Outcome::Refused;
            settled = true;
        }
        // Only an erase undoes what a page took: a page that cannot be as
        // the file any more has the whole run start over, when a retry is
        // left.
        bool again = false;
        const auto startOver = [&](const char* exchange, uint32_t address, const char* found) {
            again = retry.Take(CPageRetry::Note(exchange, address, found, "start over with the erase"));
            return again;
        };

        CProgramCmd program(Host());
        CProgramCmd::PageRules rules;
        // The flash was erased just before: a page that did not take its
        // data ends the run at once, told over the progress window it
        // stopped in.
        bool told = false;
        rules.compare = CReadCmd::Compare::EveryByte;
        rules.onPageFailure = [&](uint32_t address, Outcome status) {
            // A page the device reports failed holds neither the file nor
            // its erased state; on a noisy line a frame spoilt on its way
            // does that too.
            if (status == Outcome::Failed && startOver("page program status", address, "the page failed")) return true;
            ui::MessageBox(Ui(), ui::IDS_PROGRAM_ERROR, ui::Icon::Stop);
            told = true;
            return false;
        };
        rules.onSpoilt = [&](uint32_t address) {
            return startOver("page program status", address, "neither as the file nor blank");
        };
        rules.onStrayWrite = [&](uint32_t address) {
            again = StartOverAfterStrayWrite(retry, "page program status", address);
            return again;
        };
        // A start over comes from a line that spoilt a page: every page
        // sent is one more chance for it to spoil another. A page the file
        // gives nothing for is as the file once erased, so it is not sent
        // again; the read-back still reads every page.
        rules.onlyDataPages = attempts > 0;
        const Outcome programmed = program.ProgramPages(start, end, interval, rules);
        if (again) continue;
        if (programmed == Outcome::Cancelled) {
            ui::MessageBox(Ui(), ui::IDS_STOP_PROGRAMMING, ui::Icon::Information);
            return Outcome::Cancelled;
        }
        if (programmed != Outcome::Done) {
            // No progress window could be opened: no page was sent.
            if (!told) ui::MessageBox(Ui(), ui::IDS_PROGRAM_ERROR, ui::Icon::Stop);
            return programmed;
        }

        // After the erase every byte of the range is known: the file's
        // byte, or FF where it has none. So every byte is compared: a bit
        // flipped on its way in a byte the file holds as FF is programmed
        // like any other, and only a full comparison finds it.
        const Outcome verified = CReadCmd(Host()).ComparePages(
            start, end, CReadCmd::Compare::EveryByte,
            [&](uint32_t address) { return startOver("read-back", address, "not as the file"); });
        if (again) continue;
        if (verified == Outcome::LinkLost && StartOverAfterStrayWrite(retry, "read-back", std::nullopt)) continue;
        if (verified == Outcome::Failed || verified == Outcome::LinkLost) return verified;
        // A stopped read-back still tells how the programming went.
        return program.ReportFinalStatus(verified);
    }
}

}  // namespace pelican
