#include "sys/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace pelican {
namespace {

std::string FromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

}  // namespace

std::string ConfigDirectory() {
    std::string dir = FromEnvironment("XDG_CONFIG_HOME");
    if (!dir.empty()) return dir;
    std::string home = FromEnvironment("HOME");
    if (home.empty()) {
        const passwd* entry = ::getpwuid(::getuid());
        if (entry != nullptr && entry->pw_dir != nullptr) home = entry->pw_dir;
    }
    if (home.empty()) home = std::filesystem::temp_directory_path().string();
    return home + "/.config";
}

std::string ConfigFilePath(const std::string& name) {
    return ConfigDirectory() + "/" + name;
}

std::string SettingsFilePath() {
    return ConfigFilePath(ApplicationName() + ".INI");
}

std::string RuntimeDirectory(bool* shared) {
    std::string dir = FromEnvironment("XDG_RUNTIME_DIR");
    if (shared != nullptr) *shared = dir.empty();
    if (!dir.empty()) return dir;
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    return error ? std::string("/tmp") : temp.string();
}

}  // namespace pelican
