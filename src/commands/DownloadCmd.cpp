#include "commands/DownloadCmd.h"

#include "commands/DownloadDlg.h"
#include "commands/PageRetry.h"
#include "link/Exchange.h"
#include "ui/Messages.h"

namespace pelican {
namespace {

// The second byte of the boot loader's answer.
constexpr uint8_t kTaken = 0x00;
constexpr uint8_t kNotTaken = 0x01;

}  // namespace

Outcome CDownloadCmd::Run() {
    const bool bootLoader = Host().Target() == 1;
    uint32_t start = 0;
    uint32_t end = 0;
    // The boot loader proposes only what lies in its download area.
    const Outcome asked = bootLoader ? AskDownloadRange(start, end) : AskAddressRange(start, end);
    if (asked != Outcome::Done) return asked;
    uint32_t interval = 0;
    if (!GetProgramInterval(interval)) return Outcome::Refused;
    if (!CheckRange(start, end, bootLoader)) return Outcome::Refused;
    CDownloadDlg confirm;
    if (confirm.DoModal(Ui()) != ui::IDOK) {
        ui::MessageBox(Ui(), ui::IDS_STOP_DOWNLOADING, ui::Icon::None);
        return Outcome::Cancelled;
    }

    CSerialComm& port = Host().Port();
    const uint32_t size = end - start + 1;
    const uint8_t checksum = Checksum(start, end);
    uint8_t page[kPageSize];
    PagePhase phase;
    phase.title = "Download";
    phase.message = "Downloading.";
    phase.work = [&](uint32_t address) -> PageStep {
        DownloadPage(page, address);
        // The header travels in front of the first page, in the same frame.
        const protocol::Frame frame =
            address == start ? protocol::DownloadFirstFrame(size, checksum, page) : protocol::Frame(page, page + kPageSize);
        // A frame that did not go out whole leaves the device with a transfer
        // it cannot complete.
        if (SendFrame(port, frame) != static_cast<int>(frame.size())) return Outcome::Failed;
        return kNextPage;
    };
    // The boot loader stores each page before it takes the next one; the
    // pause follows the last page too, before its answer is awaited.
    phase.tail = [&](uint32_t) -> PageStep {
        PauseForBoard(port, interval);
        return kNextPage;
    };
    for (;;) {
        const Outcome sent = RunPageLoop(start, end, phase);
        if (sent == Outcome::Cancelled) {
            // The transfer is cut short: no answer is coming.
            ui::MessageBox(Ui(), ui::IDS_STOP_DOWNLOADING, ui::Icon::Information);
            return Outcome::Cancelled;
        }
        if (sent != Outcome::Done) {
            ui::MessageBox(Ui(), ui::IDS_DOWNLOAD_NOT_COMPLETED, ui::Icon::Exclamation);
            return Outcome::Failed;
        }
        if (!bootLoader) {
            // The internal-flash target answers nothing to a download.
            ui::MessageBox(Ui(), ui::IDS_DOWNLOAD_COMPLETED, ui::Icon::None);
            return Outcome::Done;
        }
        bool again = false;
        const Outcome answered = TakeAnswer(port, again);
        // The boot loader takes a transfer whole or not at all: it starts
        // over from its header.
        if (!again) return answered;
    }
}

bool CDownloadCmd::CheckRange(uint32_t start, uint32_t end, bool bootLoader) {
    if (!CheckRangeValid(start, end)) return false;
    if (bootLoader && end >= kBootLoaderEnd) {
        ui::MessageBox(Ui(), ui::IDS_TOO_HIGH_END, ui::Icon::Exclamation);
        return false;
    }
    // The header would carry only the low 16 bits of a larger size (0 for
    // 64 KiB), and the device would take a transfer other than the one
    // that follows.
    if (end - start + 1 > kLargestSize) {
        ui::MessageBox(Ui(), ui::IDS_DOWNLOAD_TOO_LARGE, ui::Icon::Exclamation);
        return false;
    }
    return true;
}

uint8_t CDownloadCmd::Checksum(uint32_t start, uint32_t end) {
    uint8_t sum = 0;
    uint8_t page[kPageSize];
    for (uint64_t address = start; address < end; address += kPageSize) {
        DownloadPage(page, static_cast<uint32_t>(address));
        sum = static_cast<uint8_t>(sum + protocol::DownloadChecksum(page, kPageSize));
    }
    return sum;
}

void CDownloadCmd::DownloadPage(uint8_t* buffer, uint32_t address) {
    // Unlike a programmed page (FF, the erased state), a downloaded page
    // without data goes out as 00.
    FillZeroBuffer(buffer);
    Host().Image().GetPage(buffer, address / kPageSize);
}

Outcome CDownloadCmd::TakeAnswer(CSerialComm& port, bool& again) {
    // Its first byte means nothing to the tool; the second tells whether
    // the device took the program. Without retries a missing answer is
    // not a link failure to recover from: the device may still be storing.
    uint8_t answer[protocol::kDownloadReplyLength];
    const ReadResult read = port.Read(answer, sizeof answer);
    if (read == ReadResult::Ok && answer[1] != kNotTaken) {
        if (answer[1] == kTaken) ui::MessageBox(Ui(), ui::IDS_DOWNLOAD_COMPLETED, ui::Icon::None);
        return Outcome::Done;
    }
    // With a retry left the transfer goes again. A boot loader that said
    // nothing may still be waiting for bytes of it: only a RESET (the
    // recovery asks for it) lets a new header be taken as one.
    CPageRetry retry(Host());
    if (retry.Left()) {
        const char* next = "start over from the header";
        if (read == ReadResult::Ok) {
            again = retry.Take(CPageRetry::Note("download answer", std::nullopt, "not completed", next));
        } else {
            Host().RecoverLink();
            again = retry.Resume(CPageRetry::Note("download answer", std::nullopt, CPageRetry::Failure(read), next));
            if (!again) return Outcome::LinkLost;
        }
        if (again) return Outcome::Failed;
    }
    ui::MessageBox(Ui(), ui::IDS_DOWNLOAD_NOT_COMPLETED, ui::Icon::Exclamation);
    return Outcome::Failed;
}

}  // namespace pelican
