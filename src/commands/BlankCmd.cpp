#include "commands/BlankCmd.h"

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
    PagePhase phase;
    phase.title = "Blank Check";
    phase.message = "Blank check.";
    phase.work = [&](uint32_t address) -> PageStep {
        if (!ReadPage(port, device, address)) return Outcome::LinkLost;
        for (uint32_t i = 0; i < kPageSize; ++i) {
            if (device[i] != 0xFF) {
                ui::MessageBox(ui::IDS_NOT_BLANK_AT, AddressToHex(address + i), ui::Icon::None);
                return Outcome::Failed;
            }
        }
        return kNextPage;
    };
    return RunPageLoop(start, end, phase);
}

}  // namespace pelican
