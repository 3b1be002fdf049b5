#include "commands/DumpCmd.h"

#include <vector>

#include "image/FlashFileWriter.h"
#include "ui/Messages.h"

namespace pelican {

Outcome CDumpCmd::Run(uint32_t start, uint32_t end, const std::string& path) {
    start -= start % kPageSize;
    end |= kPageSize - 1;
    if (end > kLastAddress || !IsRangeValid(start, end)) {
        ui::MessageBox(ui::IDS_TOO_SMALL_START, ui::Icon::Exclamation);
        return Outcome::Refused;
    }
    if (CFlashFileWriter::FormatOf(path) == CFlashFileWriter::Format::None) {
        ui::MessageBox(ui::IDS_DUMP_FILE_NAME, path, ui::Icon::Exclamation);
        return Outcome::Refused;
    }
    CSerialComm& port = Host().Port();
    std::vector<uint8_t> bytes(static_cast<size_t>(end - start) + 1);
    PagePhase phase;
    phase.title = "Read flash";
    phase.message = "Reading the flash.";
    phase.work = [&](uint32_t address) -> PageStep {
        if (!ReadPage(port, bytes.data() + (address - start), address)) return Outcome::LinkLost;
        return kNextPage;
    };
    const Outcome read = RunPageLoop(start, end, phase);
    if (read != Outcome::Done) return read;
    std::string error;
    if (!CFlashFileWriter::Write(path, start, bytes, error)) {
        ui::MessageBox(ui::IDS_DUMP_WRITE_FAILED, path + ": " + error + ".", ui::Icon::Exclamation);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

}  // namespace pelican
