#include "ui/win32/Win32FileDialog.h"

#include <vector>

#include "sys/win32/WideText.h"

namespace pelican::ui {

std::wstring Win32FileFilter(const std::string& filter) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : filter) {
        if (c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    std::wstring result;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() && parts[i + 1].empty()) continue;
        result += Widen(parts[i]);
        result += L'\0';
        result += Widen(parts[i + 1]);
        result += L'\0';
    }
    // The list's own end; the string's terminator makes the second NUL of an
    // empty list.
    if (!result.empty()) result += L'\0';
    return result;
}

bool ShowFileDialog(HWND owner, const FileOpenRequest& request, std::string& path) {
    // Long enough for any path the system allows.
    std::vector<wchar_t> file(32768, L'\0');
    std::wstring folder;
    const std::wstring initial = Widen(request.initialPath);
    if (!initial.empty()) {
        const DWORD attributes = GetFileAttributesW(initial.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            folder = initial;
        } else {
            const size_t slash = initial.find_last_of(L"\\/");
            const std::wstring name = slash == std::wstring::npos ? initial : initial.substr(slash + 1);
            if (slash != std::wstring::npos) folder = initial.substr(0, slash);
            if (name.size() < file.size()) name.copy(file.data(), name.size());
        }
    }
    const std::wstring filter = Win32FileFilter(request.filter);
    std::wstring suffix = Widen(request.defaultSuffix);
    if (!suffix.empty() && suffix.front() == L'.') suffix.erase(0, 1);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = suffix.empty() ? nullptr : suffix.c_str();
    // The program's working folder stays where it was, whatever folder the
    // user browsed to.
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (request.hideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
    if (request.save) {
        ofn.Flags |= OFN_OVERWRITEPROMPT;
    } else if (request.fileMustExist) {
        ofn.Flags |= OFN_FILEMUSTEXIST;
    }
    const BOOL chosen = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!chosen) return false;
    path = Narrow(file.data());
    return !path.empty();
}

}  // namespace pelican::ui
