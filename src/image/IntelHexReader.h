#pragma once
// Reads an Intel HEX file into runs of bytes at 24-bit addresses, checking
// every record before anything is handed on: record types 00 (data), 01 (end
// of file), 02 (extended segment address), 03 (start segment address), 04
// (extended linear address) and 05 (start linear address); every checksum;
// no byte given twice; the end-of-file record present.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/LoadOutcome.h"

namespace pelican {

class CTextLineReader;

class CIntelHexReader {
public:
    struct Run {
        uint32_t address = 0;
        std::vector<uint8_t> bytes;
    };

    enum class Result {
        Ended,     // an end-of-file record closed the data
        Refused,   // a bad record, or the file ended before its end-of-file
                   // record; nothing of the file is to be used
    };

    // Whether record checksums are verified (the default). Without it a
    // record is taken as its digits read, as for S-records.
    void SetVerifyChecksums(bool verify) { m_verifyChecksums = verify; }

    // Reads every line. With Refused, runs is empty, Refusal() says why and
    // Line() names the 1-based line of the first bad record (for a file
    // without its end record, its last line); Value() is the record type or
    // the address the refusal names.
    Result Read(CTextLineReader& reader, std::vector<Run>& runs);

    // Checks one record and applies it; false when it has to be refused.
    // Exposed for the tests and the fuzzer.
    bool Record(const char* text, size_t length, std::vector<Run>& runs);

    size_t Line() const { return m_line; }
    bool Ended() const { return m_ended; }
    LoadRefusal Refusal() const { return m_refusal; }
    uint32_t Value() const { return m_value; }

private:
    bool Refuse(LoadRefusal why, uint32_t value = 0);
    bool StoreData(uint32_t offset, const uint8_t* data, size_t count, std::vector<Run>& runs);

    uint32_t m_base = 0;     // from record 02 or 04
    bool m_segmented = false;  // the base came from record 02
    bool m_ended = false;
    bool m_verifyChecksums = true;
    LoadRefusal m_refusal = LoadRefusal::None;
    uint32_t m_value = 0;
    size_t m_line = 0;
    // One bit per address already given, a 64 KiB window at a time: only the
    // windows a file touches take memory (8 KiB each).
    using Window = std::array<uint64_t, 0x10000 / 64>;
    std::vector<std::unique_ptr<Window>> m_used;
};

}  // namespace pelican
