#pragma once
// "Download...": sends a boot program held in the image to the device's boot
// loader: a header with the size and an 8-bit checksum, then the program as
// whole 256-byte pages. The Orca/W boot loader answers the transfer with two
// bytes; the internal-flash target answers nothing.
#include <cstdint>

#include "commands/CheckMemorryCmd.h"

namespace pelican {

class CDownloadCmd : public CCheckMemorryCmd {
public:
    // The Orca/W boot loader keeps a boot program below this address.
    static constexpr uint32_t kBootLoaderEnd = 0x2A00;
    // The header carries the size in 16 bits.
    static constexpr uint32_t kLargestSize = 0xFFFF;

    explicit CDownloadCmd(IAppHost& host) : CCheckMemorryCmd(host) {}

    // Done when the device took the program (or, on the internal-flash
    // target, when every page went out; also when the boot loader answers
    // with a second byte that means neither taken nor refused); Refused, with
    // nothing sent, for a range the transfer cannot carry or Cancel in
    // "Download?"; Cancelled when the progress window was closed; Failed
    // when the boot loader refused the program or did not answer (LinkLost
    // when, with retries, its recovery did not bring the link back).
    Outcome Run();

private:
    // The checksum of the header: the low 8 bits of the sum of every byte of
    // every page from start to end, 00 where the image has no data.
    uint8_t Checksum(uint32_t start, uint32_t end);
    // The page at address as it goes out: the image's bytes, or 00 where
    // the image has none.
    void DownloadPage(uint8_t* buffer, uint32_t address);
    // Whether the range can be downloaded to the target; shows why not.
    bool CheckRange(uint32_t start, uint32_t end, bool bootLoader);
    // The boot loader's two-byte answer after the last page. again is set
    // when a retry was taken for a transfer the boot loader did not take
    // (after the recovery, when it said nothing): it goes once more.
    Outcome TakeAnswer(CSerialComm& port, bool& again);
};

}  // namespace pelican
