#pragma once
// Root of the commands that work page by page over an address range: blank
// check, program, read check, the combined runs and the download. It owns
// the range and its "Input Address" dialog, the address texts, the page
// read, and the page loop with its progress window that every phase of
// those commands runs in.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/Command.h"

namespace pelican {

class CCheckMemorryCmd : public CCommand {
public:
    static constexpr uint32_t kPageSize = 256;
    // Device addresses are 24 bits; a page is named by bits 8 to 23 only.
    static constexpr uint32_t kLastAddress = 0xFFFFFF;
    // The bar moves by one step per 500 bytes, in every phase.
    static constexpr uint32_t kBytesPerStep = 500;

    explicit CCheckMemorryCmd(IAppHost& host) : CCommand(host) {}

    // Upper-case hexadecimal without prefix, at least six digits.
    static std::string AddressToHex(uint32_t address);
    // Every character counts as one digit (0 unless it is a hexadecimal
    // digit), in 32-bit arithmetic: digits past the eighth push the first
    // ones out.
    static uint32_t HexToAddress(const std::string& text);
    // Whether the value a text stands for, read without the 32-bit wrap,
    // lies in the 24-bit address space.
    static bool IsInAddressSpace(const std::string& text);
    static void SplitAddress(uint32_t address, uint8_t& high, uint8_t& middle);
    // The whole pages two address texts stand for: start rounded down to
    // its page, end up to the last address of its page.
    static void PageRange(const std::string& startText, const std::string& endText, uint32_t& start,
                          uint32_t& end);
    // 1 when start lies below end.
    static int IsRangeValid(uint32_t start, uint32_t end);
    // The same, showing "Too small start address." when it does not.
    bool CheckRangeValid(uint32_t start, uint32_t end);

    // The flash of an MCU type (0 Orca/S P, 1 Orca/W).
    static void FlashOf(int mcuType, uint32_t& start, uint32_t& end);

    static void FillBlankBuffer(uint8_t* buffer);
    static void FillZeroBuffer(uint8_t* buffer);

    // The progress bar's upper end for a range of whole pages, and its
    // position at the page at address.
    static int ProgressHigh(uint32_t start, uint32_t end);
    static int ProgressPos(uint32_t address, uint32_t start);

    // Which pages of a range a phase visits.
    enum class Pages {
        Every,     // every page from the start page to the end page
        WithData,  // only those for which the image gives at least one byte
        NotBlank,  // only those for which the image gives a byte other than FF
    };
    // The pages of start to end that a phase visits, in address order.
    static std::vector<uint32_t> SelectPages(const CMotFile& image, uint32_t start, uint32_t end, Pages pages);

    // Each page loop is told to the board's session (its events).
    using PhaseRecord = pelican::PhaseRecord;

protected:
    // The range for the command: the image's range (or the texts confirmed
    // last) proposed in "Input Address". Done with a range of whole pages;
    // Cancelled when the user gave none (Cancel, an empty field); Refused,
    // with a message, for an address past the 24-bit address space.
    Outcome AskAddressRange(uint32_t& start, uint32_t& end);
    // The same, and Refused (with the message) for a range that does not go
    // upward.
    Outcome AskValidRange(uint32_t& start, uint32_t& end);
    // The same, proposing only the image's pages below 0x2C00 (the boot
    // loader's download area), from address 0 when page 0 holds data.
    Outcome AskDownloadRange(uint32_t& start, uint32_t& end);
    // For the internal flash: false, with the message shown naming the
    // first pages of data outside, when the file holds data between start
    // and end outside the flash of the MCU type the ID Check dialog settled
    // on. Asked before anything is erased or written: the board would find
    // it only at that page.
    bool CheckImageInFlash(uint32_t start = 0, uint32_t end = kLastAddress);
    // The image's range without a dialog; 0C0000 to 0FFFFF when it is empty.
    void GetImageRange(uint32_t& start, uint32_t& end);
    // The dialog itself, proposing start and end when either is not 0.
    Outcome InputAddressRange(uint32_t& start, uint32_t& end);

    // Page read of the 256 bytes at address into buffer, with the hand-set
    // page-read time-out. 1 on success; 0 after a link failure, when the
    // recovery has run (why, when given, says how the read ended).
    int ReadPage(CSerialComm& port, uint8_t* buffer, uint32_t address, ReadResult* why = nullptr);
    // The same, going on after a failed read as long as the run allows
    // retries: the ID passed again, the same page read once more.
    int ReadPageResumed(CSerialComm& port, uint8_t* buffer, uint32_t address);

    // How far a page read is trusted. A read that accept takes (when given)
    // stands; otherwise the page is read again until two reads agree, up to
    // limit reads in all. The first quietReads reads are the job's own; each
    // read after them is told.
    struct TrustedRead {
        unsigned limit = 1;
        unsigned quietReads = 1;
        std::function<bool(const uint8_t* page)> accept;
        std::string notAccepted;  // how a read accept refused is told
    };
    // The page at address into buffer, read as how says: Done with the
    // bytes read; LinkLost when a read failed and the run could not go on;
    // Failed, after a message naming the page, when no two reads agreed. A
    // limit of 1 takes the one read as it is, as without retries.
    Outcome ReadTrusted(CSerialComm& port, uint8_t* buffer, uint32_t address, const TrustedRead& how);

    // The pause after each programmed or downloaded page, as the "Set
    // baudrate" dialog reads it back; false when it gives none.
    bool GetProgramInterval(uint32_t& interval);

    // One page's work in a phase: nothing to go on with the next page, or
    // the outcome that ends the phase there.
    using PageStep = std::optional<Outcome>;
    static constexpr PageStep kNextPage{};
    using PageWork = std::function<PageStep(uint32_t address)>;

    struct PagePhase {
        std::string title;    // of the progress window
        std::string message;  // its message line
        // The work on each page, before the bar moves (a page read and a
        // comparison, a frame sent). It may show its own message while the
        // progress window is still open.
        PageWork work;
        // The rest of the page after the cancel test (the pause and status
        // check of a programmed page); none when empty.
        PageWork tail;
        // The read time-out while the phase runs; 0 leaves it as it is.
        int32_t readTimeout = 0;
        Pages pages = Pages::Every;
    };

    // The pages a phase that sends or compares the file's data visits:
    // only those with data when the user chose to skip the others.
    Pages FileDataPages() { return Host().SkipEmptyPages() ? Pages::WithData : Pages::Every; }

    // Walks the pages from start to end that the phase selects (the bar
    // goes over those alone): Done after the last page, Cancelled when the progress window was closed, or the
    // outcome a step ended the phase with; Failed, with nothing sent, when
    // no progress window can be opened. However it ends, the progress
    // window is closed and the read time-out is the one from before.
    Outcome RunPageLoop(uint32_t start, uint32_t end, const PagePhase& phase);

private:
    Outcome RunPages(const std::vector<uint32_t>& pages, const PagePhase& phase, uint32_t& visited);
    Outcome AskRange(uint32_t& start, uint32_t& end, uint32_t limit);
};

}  // namespace pelican
