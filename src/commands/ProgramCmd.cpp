#include "commands/ProgramCmd.h"

#include "commands/BlankCmd.h"
#include "commands/PageRetry.h"
#include "commands/PreWriteDlg.h"
#include "link/Exchange.h"
#include "link/ReadTimeoutGuard.h"
#include "ui/Messages.h"

namespace pelican {

Outcome CProgramCmd::Run() {
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t interval = 0;
    if (const Outcome asked = AskProgramWork(start, end, interval); asked != Outcome::Done) return asked;
    if (!ConfirmRange(start, end)) return Outcome::Cancelled;
    const Outcome programmed = ProgramPages(start, end, interval);
    if (programmed == Outcome::Cancelled) {
        ui::MessageBox(Ui(), ui::IDS_STOP_PROGRAMMING, ui::Icon::Information);
        return Outcome::Cancelled;
    }
    return ReportFinalStatus(programmed);
}

Outcome CProgramCmd::AskProgramWork(uint32_t& start, uint32_t& end, uint32_t& interval) {
    if (const Outcome asked = AskAddressRange(start, end); asked != Outcome::Done) return asked;
    if (!GetProgramInterval(interval)) return Outcome::Refused;
    return CheckRangeValid(start, end) ? Outcome::Done : Outcome::Refused;
}

bool CProgramCmd::ConfirmRange(uint32_t start, uint32_t end) {
    CPreWriteDlg confirm;
    confirm.SetRange(AddressToHex(start), AddressToHex(end));
    if (confirm.DoModal(Ui()) == ui::IDOK) return true;
    ui::MessageBox(Ui(), ui::IDS_STOP_PROGRAMMING, ui::Icon::None);
    return false;
}

void CProgramCmd::Send(uint32_t address, const uint8_t* page) {
    // The page holding the ID locations gives the device its ID.
    if (CDeviceId* device = Host().DeviceId()) device->Sending(address, page);
    SendFrame(Host().Port(), protocol::PageProgramFrame(address, page));
}

Outcome CProgramCmd::ProgramPages(uint32_t start, uint32_t end, uint32_t interval) {
    return ProgramPages(start, end, interval, PageRules());
}

Outcome CProgramCmd::ProgramPages(uint32_t start, uint32_t end, uint32_t interval, const PageRules& rules) {
    CSerialComm& port = Host().Port();
    // The status bits collect failures until cleared: clear them once, so
    // that each page's check sees that page's result and nothing older.
    SendFrame(port, protocol::ClearStatusFrame());
    Pause(port, protocol::kPauseShort);

    uint8_t page[kPageSize];
    PagePhase phase;
    phase.title = "Program";
    phase.message = "Program.";
    // Only the per-page status replies get the short time-out: the device
    // answers them at once after the program interval.
    phase.readTimeout = protocol::kTimeoutPageProgram;
    // Flash bits only go from 1 to 0: a page of FF changes nothing on an
    // erased device, so the user may have such pages left out.
    phase.pages = rules.onlyNotBlankPages ? Pages::NotBlank
                  : rules.onlyDataPages       ? Pages::WithData
                                              : FileDataPages();
    phase.work = [&](uint32_t address) -> PageStep {
        // Where the file gives nothing in a page that goes out, the page is
        // sent erased.
        FillBlankBuffer(page);
        Host().Image().GetPage(page, address / kPageSize);
        Send(address, page);
        return kNextPage;
    };
    phase.tail = [&](uint32_t address) -> PageStep {
        for (;;) {
            // The frame has no reply: the device programs while we wait,
            // and its status tells how the page went.
            PauseForBoard(port, interval);
            ReadResult why = ReadResult::Ok;
            Outcome status = CheckStatus(port, Checked::Program, &why);
            if (status == Outcome::LinkLost) {
                switch (ReadBackLostPage(address, page, rules.compare, why)) {
                    case LostPage::AsTheFile: status = Outcome::Done; break;
                    case LostPage::Blank:
                        // Nothing of the page was programmed: sending it
                        // again programs it once.
                        Send(address, page);
                        continue;
                    case LostPage::Spoilt:
                        if (rules.onSpoilt && rules.onSpoilt(address)) return Outcome::Failed;
                        status = Outcome::Failed;
                        break;
                    case LostPage::Unreadable: status = Outcome::Failed; break;
                    case LostPage::StrayWrite:
                        if (rules.onStrayWrite && rules.onStrayWrite(address)) return Outcome::Failed;
                        break;
                    case LostPage::NoRetry: break;
                }
            }
            if (status == Outcome::Done) {
                if (CDeviceId* device = Host().DeviceId()) device->Taken();
                return kNextPage;
            }
            if (rules.onPageFailure && rules.onPageFailure(address, status)) return Outcome::Failed;
            return status;
        }
    };
    return RunPageLoop(start, end, phase);
}

CProgramCmd::LostPage CProgramCmd::ReadBackLostPage(uint32_t address, const uint8_t* page, CReadCmd::Compare compare,
                                                    ReadResult why) {
    CPageRetry retry(Host());
    if (!retry.Resume(CPageRetry::Note("page program status", address, CPageRetry::Failure(why), "read the page back")))
        return retry.StrayWrite() ? LostPage::StrayWrite : LostPage::NoRetry;
    CSerialComm& port = Host().Port();
    // The board reset by the recovery starts with its status clear; clear
    // it all the same, so that the next check sees the next page alone.
    SendFrame(port, protocol::ClearStatusFrame());
    Pause(port, protocol::kPauseShort);
    // A page read takes longer than the per-page status time-out allows at
    // the lower rates.
    CReadTimeoutGuard standing(port, protocol::kTimeoutStanding);
    const auto asTheFile = [&](const uint8_t* flash) {
        return CReadCmd::FirstDifference(flash, page, compare) == kPageSize;
    };
    // A page found blank is sent again, and a second frame on a page that
    // took the first spoils it: blank must be what two reads agree on. One
    // read whose address bytes were changed on the line reads another page,
    // and most pages of a flash are blank.
    TrustedRead how;
    how.limit = retry.ReadLimit(2);
    how.accept = asTheFile;
    how.notAccepted = "not as the file";
    uint8_t flash[kPageSize];
    const Outcome read = ReadTrusted(port, flash, address, how);
    if (read == Outcome::LinkLost) return LostPage::NoRetry;
    if (read != Outcome::Done) return LostPage::Unreadable;
    RetryNote note = CPageRetry::Note("page read back", address, "", "");
    note.kind = RetryNote::Kind::ReadBack;
    LostPage found = LostPage::Spoilt;
    if (asTheFile(flash)) {
        found = LostPage::AsTheFile;
        note.failed = "as the file";
        note.next = "go on";
    } else if (CBlankCmd::FirstNotBlank(flash) == kPageSize) {
        found = LostPage::Blank;
        note.failed = "blank";
        note.next = "program it again";
    } else {
        note.failed = "neither as the file nor blank";
        note.next = "not programmed again without an erase";
    }
    retry.Tell(note);
    return found;
}

Outcome CProgramCmd::ReportFinalStatus(Outcome sofar) {
    ReadResult why = ReadResult::Ok;
    Outcome status = CheckStatus(Host().Port(), Checked::Program, &why);
    // Every page's own status has been seen by now (or the page read
    // back): the last status may be read again after a recovery.
    while (status == Outcome::LinkLost &&
           CPageRetry(Host()).Resume(
               CPageRetry::Note("last status", std::nullopt, CPageRetry::Failure(why), "read the status again")))
        status = CheckStatus(Host().Port(), Checked::Program, &why);
    const bool pageFailed = sofar == Outcome::Failed || sofar == Outcome::LinkLost;
    if (pageFailed || status != Outcome::Done) {
        ui::MessageBox(Ui(), ui::IDS_PROGRAM_ERROR, ui::Icon::Stop);
        return sofar == Outcome::LinkLost || status == Outcome::LinkLost ? Outcome::LinkLost : Outcome::Failed;
    }
    ui::MessageBox(Ui(), ui::IDS_PROGRAM_OK, ui::Icon::Information);
    return sofar;
}

}  // namespace pelican
