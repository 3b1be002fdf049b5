#pragma once
// A small Motorola S-record reader for the board's initial memory: S1, S2 and
// S3 data records with their checksums; header, count and start records are
// checked and skipped. All or nothing: a file with a bad record delivers no
// bytes at all.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace pelican::sim {

class CSRecordReader {
public:
    using Sink = std::function<void(uint32_t address, uint8_t value)>;
    // The file is held in memory while it is read; the whole 16 MB address
    // space written as S-records takes about 45 MB.
    static constexpr size_t kMaxFileSize = size_t{128} << 20;

    // False with a message naming the line of the first bad record.
    static bool ReadText(const std::string& text, const Sink& sink, std::string& error);
    // Only a regular file of at most kMaxFileSize bytes is read.
    static bool ReadFile(const std::string& path, const Sink& sink, std::string& error);
};

}  // namespace pelican::sim
