#pragma once
// The Windows headers for this back end. They define IDOK and IDCANCEL as
// macros and rename MessageBox and GetOpenFileName to their W forms, which
// the platform layer's own names would collide with: the layer's headers
// come first, and the two renames are taken back.
#include "ui/Dialog.h"
#include "ui/DialogTemplate.h"
#include "ui/UiBackend.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
// clang-format on

#undef MessageBox
#undef GetOpenFileName
