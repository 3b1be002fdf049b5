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
    const std::string& path = pelican::fuzz::WriteInputFile(data, size, ".id");

    bool opened = false;
    pelican::CIdFile::NamesOrcaW(path, opened);
    if (!opened) std::abort();
    for (int type : {0, 1}) {
        pelican::CIdFile::Fields fields;
        fields.fill("untouched");
        if (!pelican::CIdFile::Fill(path, type, fields)) std::abort();
        for (const auto& field : fields) {
            if (field != "untouched" && field.size() != 2) std::abort();
        }
    }
    return 0;
}
