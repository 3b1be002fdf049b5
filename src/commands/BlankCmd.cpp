#include "commands/BlankCmd.h"

#include "commands/PageRetry.h"
#include "ui/Messages.h"

namespace pelican {

Outcome CBlankCmd::Run() {
    uint32_t start = 0;
    uint32_t end = 0;
    if (const Outcome asked = AskValidRange(start, end); asked != Outcome::Done) return asked;
    return CheckBlank(start, end);
}

Outcome CBlankCmd::CheckBlank(uint32_t start, uint32_t end) {
    CSerialComm& port = Host().Port();
    uint8_t device[kPageSize];
    // A byte that is not FF may have met noise on its way back: it counts
    // only when two reads agree (when the run allows more than one).
    TrustedRead how;
    how.limit = CPageRetry(Host()).ReadLimit(1);
    how.accept = [](const uint8_t* read) { return FirstNotBlank(read) == kPageSize; };
    how.notAccepted = "not blank";
    PagePhase phase;
    phase.title = "Blank Check";
    phase.message = "Blank check.";
    phase.work = [&](uint32_t address) -> PageStep {
        if (const Outcome read = ReadTrusted(port, device, address, how); read != Outcome::Done) return read;
        const uint32_t i = FirstNotBlank(device);
        if (i == kPageSize) return kNextPage;
        ui::MessageBox(Ui(), ui::IDS_NOT_BLANK_AT, AddressToHex(address + i), ui::Icon::None);
        return Outcome::Failed;
    };
    return RunPageLoop(start, end, phase);
}

uint32_t CBlankCmd::FirstNotBlank(const uint8_t* page) {
    for (uint32_t i = 0; i < kPageSize; ++i) {
        if (page[i] != 0xFF) return i;
    }
    return kPageSize;
}

}  // namespace pelican
