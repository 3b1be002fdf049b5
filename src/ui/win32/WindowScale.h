#pragma once
// What a dialog's window sizes in pixels itself, at the scale of the monitor
// it is on: its icons (the title bar, the task bar, the icon controls) and
// the open lists' widths. The dialog manager rescales the rest when the
// window moves to a monitor of another scale; these are redone after it.
#include "ui/DialogTemplate.h"
#include "ui/win32/WindowsApi.h"

namespace pelican::ui {

class CWindowScale {
public:
    CWindowScale() = default;
    ~CWindowScale() { DestroyIcons(); }
    CWindowScale(const CWindowScale&) = delete;
    CWindowScale& operator=(const CWindowScale&) = delete;

    // The window's DPI as last known (0: the system's).
    UINT Dpi() const { return m_dpi; }
    // The window is shown: its own DPI read, and its sizes made for it.
    void Begin(HWND hwnd, const DialogTemplate& tmpl);
    // WM_DPICHANGED's DPI: the window's own may not have changed yet.
    void Changed(UINT dpi) { m_dpi = dpi; }
    // The lists' widths and the icons for the DPI last known, then the
    // window at least as high as the dialog's area needs (a menu bar added
    // to it has its own height at each scale).
    void Redo(HWND hwnd, const DialogTemplate& tmpl);
    // The icons go with the window.
    void DestroyIcons();
    // The window made higher until its client area is height high.
    static void GrowToClientHeight(HWND hwnd, LONG height);

private:
    void SetSizes(HWND hwnd, const DialogTemplate& tmpl);
    void SetIcons(HWND hwnd);

    UINT m_dpi = 0;
    // Loaded for m_dpi; the window's until replaced or the window goes.
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
};

}  // namespace pelican::ui
