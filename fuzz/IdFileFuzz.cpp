// Feeds arbitrary bytes, held in memory, to the ".id" reader for both device
// types. Every field it fills must be exactly the last two characters of some
// line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "image/IdFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    pelican::CIdFile::NamesOrcaWText(text);
    for (int type : {0, 1}) {
        pelican::CIdFile::Fields fields;
        fields.fill("untouched");
        pelican::CIdFile::FillText(text, type, fields);
        for (const auto& field : fields) {
            if (field != "untouched" && field.size() != 2) std::abort();
        }
    }
    return 0;
}
