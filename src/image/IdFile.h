#pragma once
// The ".id" file beside a program file: text lines that start with one of the
// seven ID addresses of a device type and end with that ID byte's two
// hexadecimal characters.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "image/FileError.h"

namespace pelican {

class CTextLineReader;

class CIdFile {
public:
    using Fields = std::array<std::string, 7>;
    // Seven short lines; anything near this size is not an ID file.
    static constexpr uint64_t kMaxFileSize = 64 * 1024;

    // The ID file's path for a program file: its ending ".mot", ".s",
    // ".srec", ".btp", ".hex", ".ihex" or ".bin", in any letter case,
    // replaced by ".id". False for any other ending.
    static bool PathFor(const std::string& programPath, std::string& idPath);

    // The ID addresses as the file writes them, in hexadecimal without
    // leading zeros: 5 characters for Orca/S P (type 0), 6 for Orca/W (type 1).
    static std::array<std::string, 7> Addresses(int mcuType);

    // orcaW: whether any line begins "FFFFDF" (a file for Orca/W). The file
    // is read like a program file: a regular file only, of bounded size,
    // long lines cut. Any other answer than None says why it could not be
    // read; orcaW is false then.
    static FileError NamesOrcaW(const std::string& idPath, bool& orcaW);

    // Fills the fields that a line names for the device type; the last line
    // naming an address wins, fields no line names keep their text. When the
    // file cannot be read whole the fields are left as they were.
    static FileError Fill(const std::string& idPath, int mcuType, Fields& fields);

    // The same two readings of a file's text held in memory.
    static bool NamesOrcaWText(std::string_view text);
    static void FillText(std::string_view text, int mcuType, Fields& fields);

private:
    static bool NamesOrcaW(CTextLineReader& reader);
    static void Fill(CTextLineReader& reader, int mcuType, Fields& fields);
};

}  // namespace pelican
