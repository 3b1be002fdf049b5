#include "ui/win32/WindowDpi.h"

#include <algorithm>
#include <string>

namespace pelican::ui {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// Looked up once: Windows before 10 1607 has neither call, and a program
// that linked them would not start there.
template <typename Fn>
Fn User32Call(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

UINT WindowDpi(HWND hwnd) {
    static const auto getDpiForWindow = User32Call<GetDpiForWindowFn>("GetDpiForWindow");
    return getDpiForWindow != nullptr && hwnd != nullptr ? getDpiForWindow(hwnd) : 0;
}

int MetricForDpi(int index, UINT dpi) {
    static const auto getSystemMetricsForDpi = User32Call<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (dpi != 0 && getSystemMetricsForDpi != nullptr) {
        const int metric = getSystemMetricsForDpi(index, dpi);
        if (metric != 0) return metric;
    }
    return GetSystemMetrics(index);
}

void AdjustWindowRectForDpi(RECT& rect, HWND hwnd, BOOL menu, UINT dpi) {
    static const auto adjustForDpi = User32Call<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    if (dpi != 0 && adjustForDpi != nullptr && adjustForDpi(&rect, style, menu, exStyle, dpi)) return;
    AdjustWindowRectEx(&rect, style, menu, exStyle);
}

void FitDroppedWidth(HWND combo, UINT dpi) {
    const LRESULT count = combo != nullptr ? SendMessageW(combo, CB_GETCOUNT, 0, 0) : 0;
    if (count <= 0) return;
    HDC dc = GetDC(combo);
    if (dc == nullptr) return;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    LONG widest = 0;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length <= 0) continue;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT got =
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        SIZE size{};
        if (got > 0 && GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(got), &size))
            widest = std::max(widest, size.cx);
    }
    if (previous != nullptr) SelectObject(dc, previous);
    ReleaseDC(combo, dc);
    // A margin either side of the entries, scaled as the text is.
    const int margin = dpi != 0 ? MulDiv(8, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI) : 8;
    SendMessageW(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + MetricForDpi(SM_CXVSCROLL, dpi) + margin), 0);
}

}  // namespace pelican::ui
