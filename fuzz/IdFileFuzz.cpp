// Feeds arbitrary bytes to the ".id" reader for both device types. Every
// field it fills must be exactly the last two characters of some line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzInput.h"
#include "image/IdFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > pelican::CIdFile::kMaxFileSize) return 0;  // refused as too large, by design
    const std::string& path = pelican::fuzz::WriteInputFile(data, size, ".id");

    bool orcaW = false;
    if (pelican::CIdFile::NamesOrcaW(path, orcaW) != pelican::FileError::None) std::abort();
    for (int type : {0, 1}) {
        pelican::CIdFile::Fields fields;
        fields.fill("untouched");
        if (pelican::CIdFile::Fill(path, type, fields) != pelican::FileError::None) std::abort();
        for (const auto& field : fields) {
            if (field != "untouched" && field.size() != 2) std::abort();
        }
    }
    return 0;
}
