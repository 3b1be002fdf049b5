#include "commands/ReadCmd.h"

#include "ui/Messages.h"

namespace pelican {

Outcome CReadCmd::Run() {
    uint32_t start = 0;
    uint32_t end = 0;
    if (const Outcome asked = AskValidRange(start, end); asked != Outcome::Done) return asked;
    return ComparePages(start, end, Compare::FileData);
}

Outcome CReadCmd::ComparePages(uint32_t start, uint32_t end, Compare compare) {
    CSerialComm& port = Host().Port();
    uint8_t device[kPageSize];
    uint8_t image[kPageSize];
    PagePhase phase;
    phase.title = "Read check.";
    phase.message = "Read check.";
    // A page the file gives nothing for has nothing of it to compare (in
    // B.P.R. the blank check has read it whole).
    phase.pages = FileDataPages();
    phase.work = [&](uint32_t address) -> PageStep {
        if (!ReadPage(port, device, address)) return Outcome::LinkLost;
        FillBlankBuffer(image);
        Host().Image().GetPage(image, address / kPageSize);
        for (uint32_t i = 0; i < kPageSize; ++i) {
            if (compare == Compare::FileData && image[i] == 0xFF) continue;
            if (device[i] != image[i]) {
                ui::MessageBox(ui::IDS_NOT_MATCH_AT, AddressToHex(address + i), ui::Icon::None);
                return Outcome::Failed;
            }
        }
        return kNextPage;
    };
    return RunPageLoop(start, end, phase);
}

}  // namespace pelican
