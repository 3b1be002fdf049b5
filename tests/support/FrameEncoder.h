#pragma once
// The boot loader's frames as the tests expect them on the wire, built here
// byte by byte from the command table rather than by the program's own
// protocol code, so that a fault there shows as a difference.
//   Page read:    FF, address middle, address high
//   Page program: 41, address middle, address high, the page's 256 bytes
//   Download:     FA, size low, size high, checksum (sum of the pages' bytes),
//                 then the pages, 256 bytes each
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <numeric>
#include <vector>

namespace pelican::test::wire {

using Bytes = std::vector<uint8_t>;

// One synchronisation, as every run begins: B0 and sixteen 00.
inline Bytes Sync() {
    Bytes sync(17, 0x00);
    sync[0] = 0xB0;
    return sync;
}

// The parts one after the other, as they follow on the wire.
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Bytes PageRead(uint32_t address) {
    return {0xFF, static_cast<uint8_t>((address >> 8) & 0xFF), static_cast<uint8_t>((address >> 16) & 0xFF)};
}

// The page from its first address: data at the start, FF after it.
inline Bytes PageProgram(uint32_t address, const Bytes& data = {}) {
    Bytes frame = {0x41, static_cast<uint8_t>((address >> 8) & 0xFF), static_cast<uint8_t>((address >> 16) & 0xFF)};
    for (size_t i = 0; i < 256; ++i) frame.push_back(i < data.size() ? data[i] : 0xFF);
    return frame;
}

// The whole transfer of pages (a multiple of 256 bytes) for a program of size bytes.
inline Bytes Download(uint32_t size, const Bytes& pages) {
    const auto sum = std::accumulate(pages.begin(), pages.end(), 0u);
    // Sized once and filled: GCC 12 at -O3 takes an insert after the header
    // for a write past its end (a false -Wstringop-overflow).
    Bytes frames(4 + pages.size());
    frames[0] = 0xFA;
    frames[1] = static_cast<uint8_t>(size & 0xFF);
    frames[2] = static_cast<uint8_t>((size >> 8) & 0xFF);
    frames[3] = static_cast<uint8_t>(sum & 0xFF);
    std::copy(pages.begin(), pages.end(), frames.begin() + 4);
    return frames;
}

}  // namespace pelican::test::wire
