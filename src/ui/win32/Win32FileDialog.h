#pragma once
// The system's file-open and file-save dialogs.
#include <string>

#include "ui/win32/WindowsApi.h"

namespace pelican::ui {

// "Name (*.a)|*.a|Other (*.b;*.c)|*.b;*.c|" as the dialogs take it: each
// name and pattern ended by a NUL, the list by a second one.
std::wstring Win32FileFilter(const std::string& filter);

// Shows the dialog over owner; false when the user cancelled it.
bool ShowFileDialog(HWND owner, const FileOpenRequest& request, std::string& path);

}  // namespace pelican::ui
