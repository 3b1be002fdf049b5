// Feeds arbitrary bytes to the ".id" reader for both device types. Every
// field it fills must be exactly the last two characters of some line.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "image/IdFile.h"

namespace {

std::string g_path;

void RemoveFile() {
    if (!g_path.empty()) std::remove(g_path.c_str());
}

const std::string& InputPath() {
    if (g_path.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "pelican-fuzz-XXXXXX.id").string();
        const int fd = ::mkstemps(pattern.data(), 3);
        if (fd < 0) std::abort();
        ::close(fd);
        g_path = pattern;
        std::atexit(RemoveFile);
    }
    return g_path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);

    bool opened = false;
    pelican::CIdFile::NamesOrcaW(g_path, opened);
    if (!opened) std::abort();
    for (int type : {0, 1}) {
        pelican::CIdFile::Fields fields;
        fields.fill("untouched");
        if (!pelican::CIdFile::Fill(g_path, type, fields)) std::abort();
        for (const auto& field : fields) {
            if (field != "untouched" && field.size() != 2) std::abort();
        }
    }
    return 0;
}
