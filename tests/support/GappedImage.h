#pragma once
// The image the noisy-line runs program: 16 pages from 0C0000 with whole
// pages, half and quarter pages, pages without data, and data bytes of FF
// among the rest, as code and tables have them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/SRecordText.h"

namespace pelican::test {

struct GappedFile {
    static constexpr uint32_t kStart = 0x0C0000;
    static constexpr size_t kPages = 16;
    static constexpr size_t kLength = kPages * 256;
    std::string records;  // S2 records, without a termination record
    // What the range holds once it is programmed: the file's bytes, FF
    // where it gives none.
    std::vector<uint8_t> flash = std::vector<uint8_t>(kLength, 0xFF);
};

inline GappedFile MakeGappedFile() {
    // The part of each page that holds data, as offsets [from, to).
    const std::pair<size_t, size_t> parts[GappedFile::kPages] = {
        {0, 256}, {0, 256}, {0, 128}, {0, 0}, {128, 256}, {0, 0},    {0, 0}, {0, 256},
        {0, 64},  {0, 0},   {0, 0},   {0, 0}, {0, 256},   {64, 192}, {0, 0}, {0, 256}};
    GappedFile file;
    uint32_t seed = 20240611;
    for (size_t page = 0; page < GappedFile::kPages; ++page) {
        for (size_t i = parts[page].first; i < parts[page].second; ++i) {
            seed = seed * 1103515245u + 12345u;
            const auto value = static_cast<uint8_t>(seed >> 16);
            // One data byte in eight is FF.
            file.flash[page * 256 + i] = (seed >> 28) % 8 == 0 ? 0xFF : value;
        }
        for (size_t i = parts[page].first; i < parts[page].second; i += 32)
            file.records += S2Record(GappedFile::kStart + static_cast<uint32_t>(page * 256 + i),
                                     &file.flash[page * 256 + i], 32);
    }
    return file;
}

}  // namespace pelican::test
