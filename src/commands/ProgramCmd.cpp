#include "commands/ProgramCmd.h"

#include "commands/PreWriteDlg.h"
#include "link/Exchange.h"
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
        ui::MessageBox(ui::IDS_STOP_PROGRAMMING, ui::Icon::Information);
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
    if (confirm.DoModal() == ui::IDOK) return true;
    ui::MessageBox(ui::IDS_STOP_PROGRAMMING, ui::Icon::None);
    return false;
}

Outcome CProgramCmd::ProgramPages(uint32_t start, uint32_t end, uint32_t interval,
                                  const std::function<void(Outcome)>& onPageFailure) {
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
    phase.pages = FileDataPages();
    phase.work = [&](uint32_t address) -> PageStep {
        // Where the file gives nothing in a page that goes out, the page is
        // sent erased.
        FillBlankBuffer(page);
        Host().Image().GetPage(page, address / kPageSize);
        SendFrame(port, protocol::PageProgramFrame(address, page));
        return kNextPage;
    };
    phase.tail = [&](uint32_t) -> PageStep {
        // The frame has no reply: the device programs while we wait, and
        // its status tells how the page went.
        PauseForBoard(port, interval);
        const Outcome status = CheckStatus(port, Checked::Program);
        if (status == Outcome::Done) return kNextPage;
        if (onPageFailure) onPageFailure(status);
        return status;
    };
    return RunPageLoop(start, end, phase);
}

Outcome CProgramCmd::ReportFinalStatus(Outcome sofar) {
    const Outcome status = CheckStatus(Host().Port(), Checked::Program);
    const bool pageFailed = sofar == Outcome::Failed || sofar == Outcome::LinkLost;
    if (pageFailed || status != Outcome::Done) {
        ui::MessageBox(ui::IDS_PROGRAM_ERROR, ui::Icon::Stop);
        return sofar == Outcome::LinkLost || status == Outcome::LinkLost ? Outcome::LinkLost : Outcome::Failed;
    }
    ui::MessageBox(ui::IDS_PROGRAM_OK, ui::Icon::Information);
    return sofar;
}

}  // namespace pelican
