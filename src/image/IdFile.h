#pragma once
// The ".id" file beside a program file: text lines that start with one of the
// seven ID addresses of a device type and end with that ID byte's two
// hexadecimal characters.
#include <array>
#include <string>

namespace pelican {

class CIdFile {
public:
    using Fields = std::array<std::string, 7>;

    // The ID file's path for a program file: ".mot", ".btp", ".hex", ".bin"
    // (4 characters), ".ihex" (5) or ".s" (2) replaced by ".id", compared
    // case-sensitively. False for any
    // other ending.
    static bool PathFor(const std::string& programPath, std::string& idPath);

    // The ID addresses as the file writes them: 5 characters for Orca/S P
    // (type 0), 6 for Orca/W (type 1).
    static const std::array<const char*, 7>& Addresses(int mcuType);

    // True when any line begins "FFFFDF" (a file for Orca/W). False also when
    // the file cannot be opened; opened reports which.
    static bool NamesOrcaW(const std::string& idPath, bool& opened);

    // Fills the fields that a line names for the device type; the last line
    // naming an address wins, fields no line names keep their text. False
    // when the file cannot be opened.
    static bool Fill(const std::string& idPath, int mcuType, Fields& fields);
};

}  // namespace pelican
