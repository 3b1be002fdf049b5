#pragma once
// Motorola S-record text for test files, encoded here digit by digit (count,
// address, data, one's complement checksum) rather than by the program's own
// writer, so that a fault there shows as a difference.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pelican::test {

// A pattern that differs from page to page and from byte to byte, with no
// FF in it (so that every byte is compared when read back).
std::vector<uint8_t> PatternBytes(size_t count);

// One record of the given type (0 to 9) with a correct byte count and
// checksum, without a line end. The address takes as many bytes as the
// type has: S0/S1/S5/S9 two, S2/S6/S8 three, S3/S4/S7 four.
std::string Record(int type, uint32_t address, const std::vector<uint8_t>& data = {});

// The same with the byte count given (it may disagree with the data's
// length); the checksum covers what is written.
std::string RecordWithCount(int type, uint8_t count, uint32_t address, const std::vector<uint8_t>& data);

// One S2 record (24-bit address) with its checksum and a line end.
std::string S2Record(uint32_t address, const uint8_t* data, size_t length);

// Data in S2 records of 32 bytes from start, and an S8 termination record.
std::string SRecordText(uint32_t start, const std::vector<uint8_t>& data);

}  // namespace pelican::test
