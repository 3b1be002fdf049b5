#pragma once
// The fuzzers hand their input to code that reads files: one temporary file
// per process, rewritten for every input and removed at exit.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace pelican::fuzz {

inline std::string& InputPathStorage() {
    static std::string path;
    return path;
}

inline void RemoveInputFile() {
    if (!InputPathStorage().empty()) std::remove(InputPathStorage().c_str());
}

// Writes data to the temporary file (named with suffix, e.g. ".mot") and
// returns its path.
inline const std::string& WriteInputFile(const uint8_t* data, size_t size, const std::string& suffix) {
    std::string& path = InputPathStorage();
    if (path.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / ("pelican-fuzz-XXXXXX" + suffix)).string();
        const int fd = ::mkstemps(pattern.data(), static_cast<int>(suffix.size()));
        if (fd < 0) std::abort();
        ::close(fd);
        path = pattern;
        std::atexit(RemoveInputFile);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return path;
}

}  // namespace pelican::fuzz
