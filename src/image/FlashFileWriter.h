#pragma once
// Writes bytes read from the flash to a file: Motorola S-records (".mot",
// ".s", ".srec": an S0 header, S2 records of 32 data bytes, an S8 end) or raw
// bytes (".bin"). The file is written under a temporary name beside the
// target, flushed to the disk and renamed over it only when all of it was
// written: a failed write never leaves a half file under the target's name.
#include <cstdint>
#include <string>
#include <vector>

namespace pelican {

class CFlashFileWriter {
public:
    enum class Format { None, SRecord, Binary };

    // The format a path's name asks for, its ending in any letter case;
    // None for any other ending.
    static Format FormatOf(const std::string& path);

    // The S-record text for bytes starting at address (address + size within
    // 24 bits).
    static std::string SRecordText(uint32_t address, const std::vector<uint8_t>& bytes);

    // Writes the file; true on success. On failure error tells why (the
    // system's reason) and no file of that name was created or changed
    // (unless only the folder's sync after the rename failed). A symbolic
    // link's target is replaced, not the link; an existing file keeps its
    // mode; the folder is synced after the rename.
    static bool Write(const std::string& path, uint32_t address, const std::vector<uint8_t>& bytes,
                      std::string& error);

    // Whether a file can be made where Write would make it; false with the
    // system's reason. Lets a caller find out before it spends minutes
    // reading the flash.
    static bool CheckFolder(const std::string& path, std::string& error);
};

}  // namespace pelican
