#include "commands/ReadCmd.h"

#include "commands/PageRetry.h"
#include "ui/Messages.h"

namespace pelican {

Outcome CReadCmd::Run() {
    uint32_t start = 0;
    uint32_t end = 0;
    if (const Outcome asked = AskValidRange(start, end); asked != Outcome::Done) return asked;
    return ComparePages(start, end, Compare::FileData);
}

Outcome CReadCmd::ComparePages(uint32_t start, uint32_t end, Compare compare,
                               const std::function<bool(uint32_t address)>& onDifference) {
    CSerialComm& port = Host().Port();
    uint8_t device[kPageSize];
    uint8_t image[kPageSize];
    // A page as the file has it is taken at once; one that differs may have
    // met noise on its way back, and counts only when two reads agree.
    TrustedRead how;
    how.limit = CPageRetry(Host()).ReadLimit(1);
    how.accept = [&](const uint8_t* read) { return FirstDifference(read, image, compare) == kPageSize; };
    how.notAccepted = "not as the file";
    PagePhase phase;
    phase.title = "Read check.";
    phase.message = "Read check.";
    // A page the file gives nothing for has nothing of it to compare (in
    // B.P.R. the blank check has read it whole).
    phase.pages = FileDataPages();
    phase.work = [&](uint32_t address) -> PageStep {
        FillBlankBuffer(image);
        Host().Image().GetPage(image, address / kPageSize);
        if (const Outcome read = ReadTrusted(port, device, address, how); read != Outcome::Done) return read;
        const uint32_t i = FirstDifference(device, image, compare);
        if (i == kPageSize) return kNextPage;
        if (!onDifference || !onDifference(address + i))
            ui::MessageBox(Ui(), ui::IDS_NOT_MATCH_AT, AddressToHex(address + i), ui::Icon::None);
        return Outcome::Failed;
    };
    return RunPageLoop(start, end, phase);
}

uint32_t CReadCmd::FirstDifference(const uint8_t* device, const uint8_t* image, Compare compare) {
    for (uint32_t i = 0; i < kPageSize; ++i) {
        if (compare == Compare::FileData && image[i] == 0xFF) continue;
        if (device[i] != image[i]) return i;
    }
    return kPageSize;
}

}  // namespace pelican
