#include "ui/win32/WindowScale.h"

#include "ui/win32/DialogTemplateBuilder.h"
#include "ui/win32/WindowDpi.h"

namespace pelican::ui {
namespace {

HICON LoadAppIcon(int size) {
    // Not shared: the system keeps one shared copy of a resource, at the
    // size first asked for, and the size follows the monitor here.
    const LPCWSTR name = MAKEINTRESOURCEW(CDialogTemplateBuilder::kIconResource);
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_ICON, size, size, 0));
}

}  // namespace

void CWindowScale::Begin(HWND hwnd, const DialogTemplate& tmpl) {
    m_dpi = WindowDpi(hwnd);
    SetSizes(hwnd, tmpl);
}

void CWindowScale::Redo(HWND hwnd, const DialogTemplate& tmpl) {
    SetSizes(hwnd, tmpl);
    // The dialog manager sizes a rescaled window by its frame; the menu bar
    // has a height of its own at each scale, and wraps at some: the
    // dialog's area (its size in the new font's units) stays whole.
    RECT area{0, 0, tmpl.cx, tmpl.cy};
    MapDialogRect(hwnd, &area);
    GrowToClientHeight(hwnd, area.bottom);
}

void CWindowScale::SetSizes(HWND hwnd, const DialogTemplate& tmpl) {
    for (const auto& control : tmpl.controls)
        if (control.kind == ControlKind::ComboBox || control.kind == ControlKind::ComboList)
            FitDroppedWidth(GetDlgItem(hwnd, control.id), m_dpi);
    SetIcons(hwnd);
}

void CWindowScale::SetIcons(HWND hwnd) {
    // The application icon (resource 1) in the title bar, the task bar and
    // the dialog's icon controls, at the sizes of the window's DPI; a
    // program without one keeps the system's.
    HICON big = LoadAppIcon(MetricForDpi(SM_CXICON, m_dpi));
    HICON small = LoadAppIcon(MetricForDpi(SM_CXSMICON, m_dpi));
    if (big != nullptr) {
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        // Icon controls share their id with other static controls.
        for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
            if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                SendMessageW(child, STM_SETICON, reinterpret_cast<WPARAM>(big), 0);
    }
    if (small != nullptr) SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    // The ones they replace are no longer shown anywhere.
    DestroyIcons();
    m_bigIcon = big;
    m_smallIcon = small;
}

void CWindowScale::DestroyIcons() {
    if (m_bigIcon != nullptr) DestroyIcon(m_bigIcon);
    if (m_smallIcon != nullptr) DestroyIcon(m_smallIcon);
    m_bigIcon = m_smallIcon = nullptr;
}

void CWindowScale::GrowToClientHeight(HWND hwnd, LONG height) {
    RECT now{};
    GetClientRect(hwnd, &now);
    if (now.bottom >= height) return;
    RECT window{};
    GetWindowRect(hwnd, &window);
    SetWindowPos(hwnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + height - now.bottom,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

}  // namespace pelican::ui
