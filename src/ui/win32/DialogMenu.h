#pragma once
// The menu bar of a window whose template asks for one: File with "Save
// flash to file..." (and the check item "Skip pages without data"), Help
// with "About Pelican...". Each entry sends its command to the window.
#include "ui/win32/WindowsApi.h"

#include <cstdint>

namespace pelican::ui {

// None when the template's style asks for no menu.
HMENU CreateDialogMenu(uint32_t dialogStyle);

}  // namespace pelican::ui
