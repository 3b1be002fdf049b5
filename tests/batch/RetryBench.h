#pragma once
// What the tests of --retries share: a file of three pages with data, what
// the flash holds once it is programmed, and counts of what the board took.
#include <algorithm>
#include <string>
#include <vector>

#include "image/LoaderFixture.h"
#include "support/BatchBench.h"
#include "support/ProgramFiles.h"
#include "support/SRecordText.h"

namespace pelican::test {

inline const char* const kTimeout = "stop: Timeout. Push RESET.\n";
inline const char* const kOk = "information: Program OK.\n";
inline const char* const kError = "stop: Program error.\n";

// 32 bytes at the start of each of the pages 0C0000, 0C0100 and 0C0200.
inline Bytes PageData(uint32_t page) {
    Bytes data(32);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x10 + page * 0x20 + i);
    return data;
}

inline std::string ThreePages() {
    std::string records;
    for (uint32_t page = 0; page < 3; ++page) records += S2Record(0x0C0000 + page * 0x100, PageData(page).data(), 32);
    return records + "S804000000FB\n";
}

// What the range 0C0000-0C02FF holds once programmed.
inline Bytes ThreePagesFlash() {
    Bytes flash(0x300, 0xFF);
    for (uint32_t page = 0; page < 3; ++page) std::copy_n(PageData(page).begin(), 32, flash.begin() + page * 0x100);
    return flash;
}

// The arguments with the three pages' file (and its ID file) in front.
inline std::vector<std::string> WithPages(CBatchBench& bench, std::vector<std::string> args) {
    return WithFile(bench, std::move(args), ThreePages());
}

// The ID check frames the board took, their seven ID bytes each.
inline std::vector<Bytes> IdsGiven(CBatchBench& bench) {
    std::vector<Bytes> ids;
    for (const auto& frame : bench.m_sim.Board().Frames())
        if (frame.bytes.at(0) == 0xF5) ids.emplace_back(frame.bytes.begin() + 5, frame.bytes.end());
    return ids;
}

inline const Bytes kBoardId = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
inline const Bytes kErasedId(7, 0xFF);

// Read status: start-up, the ID Check dialog's two, the main window's
// probe, the erase's (E.P.R.), then one for each page.
constexpr unsigned kEprPageStatus = 5;    // + page number, from 1
constexpr unsigned kProgramPageStatus = 4;

}  // namespace pelican::test
