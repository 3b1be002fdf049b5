#include "image/BinaryFile.h"

namespace pelican {

FileError CBinaryFile::Read(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, bool& tooLong,
                            FileIdentity& stamp) {
    bytes.clear();
    tooLong = false;
    CInputFile file;
    if (const FileError opened = file.Open(path); opened != FileError::None) return opened;
    stamp = file.Stamp();
    uint8_t block[65536];
    FileError result = FileError::None;
    for (;;) {
        const long got = file.Read(block, sizeof block);
        if (got < 0) {
            result = FileError::ReadFailed;
            break;
        }
        if (got == 0) break;
        const size_t room = limit - bytes.size();
        const size_t take = static_cast<size_t>(got) < room ? static_cast<size_t>(got) : room;
        bytes.insert(bytes.end(), block, block + take);
        if (take < static_cast<size_t>(got)) {
            tooLong = true;
            break;
        }
    }
    // Every byte the file had when it was opened, and no other.
    if (result == FileError::None && !tooLong && (bytes.size() != file.Size() || !file.Unchanged()))
        result = FileError::Changed;
    if (result != FileError::None) bytes.clear();
    return result;
}

}  // namespace pelican
