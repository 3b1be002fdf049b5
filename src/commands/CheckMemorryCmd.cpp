#include "commands/CheckMemorryCmd.h"

#include <algorithm>

#include <array>
#include <cstdio>
#include <cstring>

#include "commands/PageRetry.h"
#include "commands/ProgressNote.h"
#include "commands/SetAddressDlg.h"
#include "commands/IDCheckDlg.h"
#include "link/Exchange.h"
#include "link/ReadTimeoutGuard.h"
#include "commands/SetCommDlg.h"
#include "ui/Messages.h"
#include "ui/ProgressDlg.h"
#include "protocol/Protocol.h"

namespace pelican {
namespace {

using protocol::kDownloadLimit;
// Proposed when the image holds no data: the flash of Orca/S P.
constexpr uint32_t kDefaultStart = protocol::kMcuMaps[0].flashStart;
constexpr uint32_t kDefaultEnd = protocol::kMcuMaps[0].flashEnd;

uint32_t FirstOfPage(uint32_t address) {
    return address - address % CCheckMemorryCmd::kPageSize;
}

uint32_t LastOfPage(uint32_t address) {
    return FirstOfPage(address) + (CCheckMemorryCmd::kPageSize - 1);
}

}  // namespace

std::string CCheckMemorryCmd::AddressToHex(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(address));
    return text;
}

uint32_t CCheckMemorryCmd::HexToAddress(const std::string& text) {
    uint32_t value = 0;
    for (const char c : text) value = value * 16 + static_cast<uint32_t>(HexDigitValue(c));
    return value;
}

bool CCheckMemorryCmd::IsInAddressSpace(const std::string& text) {
    uint64_t value = 0;
    for (const char c : text) {
        value = value * 16 + static_cast<uint64_t>(HexDigitValue(c));
        // A value past the limit only grows with more digits.
        if (value > kLastAddress) return false;
    }
    return true;
}

void CCheckMemorryCmd::SplitAddress(uint32_t address, uint8_t& high, uint8_t& middle) {
    high = protocol::AddressHigh(address);
    middle = protocol::AddressMiddle(address);
}

void CCheckMemorryCmd::PageRange(const std::string& startText, const std::string& endText, uint32_t& start,
                                 uint32_t& end) {
    start = FirstOfPage(HexToAddress(startText));
    end = LastOfPage(HexToAddress(endText));
}

int CCheckMemorryCmd::IsRangeValid(uint32_t start, uint32_t end) {
    return start < end ? 1 : 0;
}

bool CCheckMemorryCmd::CheckRangeValid(uint32_t start, uint32_t end) {
    if (IsRangeValid(start, end)) return true;
    ui::MessageBox(Ui(), ui::IDS_TOO_SMALL_START, ui::Icon::Exclamation);
    return false;
}

void CCheckMemorryCmd::FillBlankBuffer(uint8_t* buffer) {
    std::memset(buffer, 0xFF, kPageSize);
}

void CCheckMemorryCmd::FillZeroBuffer(uint8_t* buffer) {
    std::memset(buffer, 0x00, kPageSize);
}

int CCheckMemorryCmd::ProgressHigh(uint32_t start, uint32_t end) {
    // Signed: a range of a single page comes out one below zero, which
    // gives an empty bar rather than a wrapped one.
    const int64_t span = int64_t{end} - int64_t{start} - int64_t{kPageSize};
    return span > 0 ? static_cast<int>(span / kBytesPerStep) : 0;
}

int CCheckMemorryCmd::ProgressPos(uint32_t address, uint32_t start) {
    return address > start ? static_cast<int>((address - start) / kBytesPerStep) : 0;
}

Outcome CCheckMemorryCmd::AskAddressRange(uint32_t& start, uint32_t& end) {
    return AskRange(start, end, CMotFile::kAddressLimit);
}

Outcome CCheckMemorryCmd::AskValidRange(uint32_t& start, uint32_t& end) {
    if (const Outcome asked = AskAddressRange(start, end); asked != Outcome::Done) return asked;
    return CheckRangeValid(start, end) ? Outcome::Done : Outcome::Refused;
}

Outcome CCheckMemorryCmd::AskDownloadRange(uint32_t& start, uint32_t& end) {
    return AskRange(start, end, kDownloadLimit);
}

Outcome CCheckMemorryCmd::AskRange(uint32_t& start, uint32_t& end, uint32_t limit) {
    // Without data both stay 0, and the dialog keeps the texts confirmed
    // last; with data (page 0 included) the end is never 0.
    Host().Image().GetUsedRange(start, end, limit);
    return InputAddressRange(start, end);
}

void CCheckMemorryCmd::FlashOf(int mcuType, uint32_t& start, uint32_t& end) {
    start = protocol::McuMapOf(mcuType).flashStart;
    end = protocol::McuMapOf(mcuType).flashEnd;
}

bool CCheckMemorryCmd::CheckImageInFlash(uint32_t start, uint32_t end) {
    // Only the ID Check dialog settles the type; the boot loader's target
    // knows its own memory.
    if (Host().Target() != 0) return true;
    const int mcuType = Host().Session().mcuType;
    uint32_t flashStart = 0;
    uint32_t flashEnd = 0;
    FlashOf(mcuType, flashStart, flashEnd);
    const CMotFile& image = Host().Image();
    // The first run of pages with data outside: what the user looks for.
    uint32_t first = 0;
    uint32_t last = 0;
    bool found = false;
    for (uint32_t index = start / kPageSize; index <= end / kPageSize && index < CMotFile::kPageCount; ++index) {
        const uint32_t address = index * kPageSize;
        const bool outside = address < flashStart || address > flashEnd;
        if (outside && image.LookupPage(index) != nullptr) {
            if (found && address != last + 1) break;
            if (!found) first = address;
            found = true;
            last = address + kPageSize - 1;
        } else if (found) {
            break;
        }
    }
    if (!found) return true;
    ui::MessageBox(Ui(), ui::FormatString(ui::IDS_DATA_OUTSIDE_FLASH,
                                    {AddressToHex(first), AddressToHex(last), mcuType == 1 ? "Orca/W" : "Orca/S P",
                                     AddressToHex(flashStart), AddressToHex(flashEnd)}),
                   ui::Icon::Exclamation);
    return false;
}

void CCheckMemorryCmd::GetImageRange(uint32_t& start, uint32_t& end) {
    if (!Host().Image().GetUsedRange(start, end)) {
        start = kDefaultStart;
        end = kDefaultEnd;
    }
    start = FirstOfPage(start);
    end = LastOfPage(end);
}

Outcome CCheckMemorryCmd::InputAddressRange(uint32_t& start, uint32_t& end) {
    CSetAddressDlg dlg(Host().Session());
    // A loaded image proposes its own range; without one the texts the user
    // confirmed last stand. The end of a range with data is never 0, even
    // when the data lie in page 0 only.
    if (start != 0 || end != 0) {
        dlg.m_startText = AddressToHex(start);
        dlg.m_endText = AddressToHex(end);
    }
    if (dlg.DoModal(Ui()) != ui::IDOK) return Outcome::Cancelled;
    if (dlg.m_startText.empty() || dlg.m_endText.empty()) return Outcome::Cancelled;
    // Only bits 8 to 23 of a page address reach the device: a larger address
    // would name a lower page, and an end near the top of 32 bits would
    // never let the page count end.
    if (!IsInAddressSpace(dlg.m_startText) || !IsInAddressSpace(dlg.m_endText)) {
        ui::MessageBox(Ui(), ui::IDS_ADDRESS_TOO_LARGE, ui::Icon::Exclamation);
        return Outcome::Refused;
    }
    PageRange(dlg.m_startText, dlg.m_endText, start, end);
    return Outcome::Done;
}

int CCheckMemorryCmd::ReadPage(CSerialComm& port, uint8_t* buffer, uint32_t address, ReadResult* why) {
    const int32_t standing = port.ReadTimeout();
    // A hand-set value of 0 or less (or text that reads as 0) would make the
    // read wait without end; the time-out in force stands instead.
    int32_t timeout = Host().PageReadTimeout(standing);
    if (timeout <= 0) timeout = standing;
    CReadTimeoutGuard pageRead(port, timeout);
    port.PurgeInput();
    SendFrame(port, protocol::PageReadFrame(address));
    const ReadResult read = port.Read(buffer, kPageSize);
    if (why != nullptr) *why = read;
    if (read == ReadResult::Ok) return 1;
    Host().RecoverLink();
    return 0;
}

int CCheckMemorryCmd::ReadPageResumed(CSerialComm& port, uint8_t* buffer, uint32_t address) {
    CPageRetry retry(Host());
    ReadResult why = ReadResult::Ok;
    while (!ReadPage(port, buffer, address, &why)) {
        if (!retry.Resume(CPageRetry::Note("page read", address, CPageRetry::Failure(why), "read it again")))
            return 0;
    }
    return 1;
}

Outcome CCheckMemorryCmd::ReadTrusted(CSerialComm& port, uint8_t* buffer, uint32_t address, const TrustedRead& how) {
    CPageRetry retry(Host());
    std::vector<std::array<uint8_t, kPageSize>> reads;
    for (unsigned n = 1; n <= how.limit; ++n) {
        if (n > how.quietReads) {
            const bool refused = n == 2 && how.accept && !how.notAccepted.empty();
            RetryNote note = CPageRetry::Note("page read", address, refused ? how.notAccepted : "reads disagree",
                                              "read it again");
            note.kind = RetryNote::Kind::Reread;
            note.number = n;
            note.limit = how.limit;
            retry.Tell(note);
        }
        std::array<uint8_t, kPageSize> page{};
        if (!ReadPageResumed(port, page.data(), address)) return Outcome::LinkLost;
        bool trusted = how.limit == 1 || (how.accept && how.accept(page.data()));
        // Noise on the line changes what one read brings, seldom two reads
        // the same way.
        for (const auto& earlier : reads) trusted = trusted || earlier == page;
        if (trusted) {
            std::memcpy(buffer, page.data(), kPageSize);
            return Outcome::Done;
        }
        reads.push_back(page);
    }
    ui::MessageBox(Ui(), ui::FormatString(ui::IDS_READS_DISAGREE, {AddressToHex(address), std::to_string(how.limit)}),
                   ui::Icon::Stop);
    return Outcome::Failed;
}

bool CCheckMemorryCmd::GetProgramInterval(uint32_t& interval) {
    const CSetCommDlg dlg(Host().Session());
    int value = 0;
    if (!dlg.GetInterval(value)) return false;
    interval = value > 0 ? static_cast<uint32_t>(value) : 0;
    return true;
}

std::vector<uint32_t> CCheckMemorryCmd::SelectPages(const CMotFile& image, uint32_t start, uint32_t end,
                                                    Pages pages) {
    std::vector<uint32_t> selected;
    // Counted wider than an address, so that no end can make it wrap.
    for (uint64_t page = start; page < end; page += kPageSize) {
        const auto address = static_cast<uint32_t>(page);
        const CLineImage* data = pages == Pages::Every ? nullptr : image.LookupPage(address / kPageSize);
        if (pages != Pages::Every && data == nullptr) continue;
        if (pages == Pages::NotBlank &&
            std::all_of(data->Bytes(), data->Bytes() + kPageSize, [](uint8_t b) { return b == CLineImage::kBlank; }))
            continue;
        selected.push_back(address);
    }
    return selected;
}

Outcome CCheckMemorryCmd::RunPageLoop(uint32_t start, uint32_t end, const PagePhase& phase) {
    const std::vector<uint32_t> pages = SelectPages(Host().Image(), start, end, phase.pages);
    const auto count = static_cast<uint32_t>(pages.size());
    const uint64_t began = Host().Port().Clock().NowMs();
    const BoardSession& session = Host().Session();
    if (session.events != nullptr) session.events->PhaseBegun({phase.title, start, end, Outcome::Done, 0, count});
    uint32_t visited = 0;
    const Outcome outcome = RunPages(pages, phase, visited);
    if (session.events != nullptr)
        session.events->PhaseEnded({phase.title, start, end, outcome, Host().Port().Clock().NowMs() - began, visited});
    return outcome;
}

Outcome CCheckMemorryCmd::RunPages(const std::vector<uint32_t>& pages, const PagePhase& phase, uint32_t& visited) {
    int cancel = 0;
    // Declared after the flag: the window writes it as it closes.
    const auto progress = ui::CProgressDlg::OpenProgress(Ui(), &cancel);
    if (!progress) return Outcome::Failed;
    // The bar goes over the pages visited as if they lay side by side: with
    // every page of the range that is the range itself.
    const auto span = static_cast<uint32_t>(pages.size()) * kPageSize;
    progress->BeginProgress(phase.message, phase.title, 0, pages.empty() ? 0 : ProgressHigh(0, span - 1), 0);
    const uint64_t began = Host().Port().Clock().NowMs();
    progress->SetProgressNote(CProgressNote::Pages(0, static_cast<uint32_t>(pages.size()), 0));
    std::optional<CReadTimeoutGuard> timeout;
    if (phase.readTimeout != 0) timeout.emplace(Host().Port(), phase.readTimeout);
    for (size_t i = 0; i < pages.size(); ++i) {
        const uint32_t address = pages[i];
        ++visited;
        if (const PageStep step = phase.work(address)) return *step;
        progress->SetProgressPos(ProgressPos(static_cast<uint32_t>(i) * kPageSize, 0));
        progress->SetProgressNote(CProgressNote::Pages(static_cast<uint32_t>(i + 1), static_cast<uint32_t>(pages.size()),
                                                       Host().Port().Clock().NowMs() - began));
        progress->PumpMessages();
        if (cancel != 0) return Outcome::Cancelled;
        if (phase.tail) {
            if (const PageStep step = phase.tail(address)) return *step;
        }
    }
    return Outcome::Done;
}

}  // namespace pelican
