#include "sys/Paths.h"

#include <shlobj.h>
#include <windows.h>

#include <cwchar>

#include "sys/win32/WideText.h"

namespace pelican {
namespace {

std::wstring Environment(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return std::wstring();
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

bool IsAbsolute(const std::wstring& path) {
    return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
           path.rfind(L"\\\\", 0) == 0;
}

std::wstring TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD length = ::GetTempPathW(MAX_PATH + 2, buffer);
    std::wstring folder = length > 0 && length < MAX_PATH + 2 ? std::wstring(buffer, length) : L"C:\\Windows\\Temp";
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
}

}  // namespace

// %APPDATA%, the user's roaming application data, where the settings of a
// desktop program belong; the known-folder call when the variable is unset.
std::string ConfigDirectory() {
    std::wstring folder = Environment(L"APPDATA");
    if (!IsAbsolute(folder)) {
        folder.clear();
        PWSTR known = nullptr;
        if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known) == S_OK && known != nullptr)
            folder = known;
        ::CoTaskMemFree(known);
    }
    if (folder.empty()) folder = TemporaryFolder();
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return Narrow(folder);
}

std::string ConfigFilePath(const std::string& name) {
    return ConfigDirectory() + "\\" + name;
}

std::string SettingsFilePath() {
    return ConfigFilePath(ApplicationName() + ".INI");
}

// Windows keeps no per-user runtime folder; the named mutex needs none. The
// temporary folder is the user's own.
std::string RuntimeDirectory(bool* shared) {
    if (shared != nullptr) *shared = false;
    return Narrow(TemporaryFolder());
}

}  // namespace pelican
