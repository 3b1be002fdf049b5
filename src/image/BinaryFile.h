#pragma once
// Reads a whole raw binary file: one byte of flash per byte of file.
#include <cstdint>
#include <string>
#include <vector>

#include "image/FileError.h"

namespace pelican {

class CBinaryFile {
public:
    // Reads at most limit bytes of a regular file. tooLong is set when the
    // file holds more; bytes then holds only the first limit. stamp: the
    // file as it was opened. A file written to while it is read is Changed.
    static FileError Read(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, bool& tooLong,
                          FileIdentity& stamp);
};

}  // namespace pelican
