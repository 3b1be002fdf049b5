#include "commands/DumpCmd.h"

#include <vector>

#include "commands/PageRetry.h"
#include "image/FlashFileWriter.h"
#include "ui/Messages.h"
#include "ui/UiBackend.h"

namespace pelican {

Outcome CDumpCmd::Run() {
    uint32_t start = 0;
    uint32_t end = 0;
    if (const Outcome asked = AskValidRange(start, end); asked != Outcome::Done) return asked;
    ui::FileOpenRequest request;
    request.filter = ui::LoadString(ui::IDS_SAVE_FILTER);
    request.save = true;
    request.fileMustExist = false;
    request.defaultSuffix = "mot";
    std::string path;
    if (!Ui().GetOpenFileName(request, path)) return Outcome::Cancelled;
    const Outcome saved = Run(start, end, path);
    if (saved == Outcome::Done)
        ui::MessageBox(Ui(), ui::IDS_FLASH_SAVED, AddressToHex(start) + "-" + AddressToHex(end) + " in " + path + ".",
                       ui::Icon::Information);
    return saved;
}

Outcome CDumpCmd::Run(uint32_t start, uint32_t end, const std::string& path) {
    start -= start % kPageSize;
    end |= kPageSize - 1;
    if (end > kLastAddress) {
        ui::MessageBox(Ui(), ui::IDS_ADDRESS_TOO_LARGE, ui::Icon::Exclamation);
        return Outcome::Refused;
    }
    if (!CheckRangeValid(start, end)) return Outcome::Refused;
    if (CFlashFileWriter::FormatOf(path) == CFlashFileWriter::Format::None) {
        ui::MessageBox(Ui(), path + ui::LoadString(ui::IDS_SAVE_NAME), ui::Icon::Exclamation);
        return Outcome::Refused;
    }
    // At 9600 bps the whole flash takes minutes to read: a folder that
    // cannot take the file is told before the first page.
    std::string error;
    if (!CFlashFileWriter::CheckFolder(path, error)) {
        ui::MessageBox(Ui(), path + ui::LoadString(ui::IDS_SAVE_FOLDER) + error + ".", ui::Icon::Exclamation);
        return Outcome::Refused;
    }
    CSerialComm& port = Host().Port();
    std::vector<uint8_t> bytes(static_cast<size_t>(end - start) + 1);
    // Nothing compares what a dump reads: a byte changed on its way back
    // would go into the file unseen. So every page is read until two reads
    // agree, twice at least.
    TrustedRead how;
    how.limit = CPageRetry(Host()).ReadLimit(2);
    how.quietReads = 2;
    PagePhase phase;
    phase.title = "Read flash";
    phase.message = "Reading the flash.";
    phase.work = [&](uint32_t address) -> PageStep {
        const Outcome read = ReadTrusted(port, bytes.data() + (address - start), address, how);
        return read == Outcome::Done ? kNextPage : PageStep(read);
    };
    const Outcome read = RunPageLoop(start, end, phase);
    if (read != Outcome::Done) return read;
    if (!CFlashFileWriter::Write(path, start, bytes, error)) {
        ui::MessageBox(Ui(), ui::IDS_SAVE_FAILED, path + ": " + error + ".", ui::Icon::Exclamation);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

}  // namespace pelican
