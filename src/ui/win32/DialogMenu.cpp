#include "ui/win32/DialogMenu.h"

#include "ui/DialogTemplate.h"

namespace pelican::ui {

HMENU CreateDialogMenu(uint32_t dialogStyle) {
    if (!(dialogStyle & (kAboutMenu | kFileMenu))) return nullptr;
    HMENU bar = CreateMenu();
    if (bar == nullptr) return nullptr;
    if (dialogStyle & kFileMenu) {
        HMENU file = CreatePopupMenu();
        AppendMenuW(file, MF_STRING, kSaveFlashCommand, L"&Save flash to file...");
        if (dialogStyle & kSkipPagesItem)
            AppendMenuW(file, MF_STRING | MF_UNCHECKED, kSkipEmptyPagesCommand, L"S&kip pages without data");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    }
    if (dialogStyle & kAboutMenu) {
        HMENU help = CreatePopupMenu();
        AppendMenuW(help, MF_STRING, kAboutCommand, L"&About Pelican...");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Help");
    }
    return bar;
}

}  // namespace pelican::ui
