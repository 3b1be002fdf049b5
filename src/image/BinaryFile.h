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
    // file holds more; bytes then holds only the first limit.
    static FileError Read(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, bool& tooLong);
};

}  // namespace pelican
