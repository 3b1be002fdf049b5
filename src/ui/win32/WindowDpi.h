#pragma once
// Pixel sizes for one window at the scale of the monitor it is on. The
// program is per-monitor aware: a window on a 150 % monitor beside a 100 %
// one has its own DPI, and the system's metrics (GetSystemMetrics) are those
// of the scale the session started with. The calls that take a DPI exist
// from Windows 10 1607 on; before, the system's metrics are the window's.
#include "ui/win32/WindowsApi.h"

namespace pelican::ui {

// The window's DPI (96 at 100 %); 0 where the system cannot tell a
// window's own (before Windows 10 1607).
UINT WindowDpi(HWND hwnd);
// GetSystemMetrics(index) scaled for dpi; the system's metric for dpi 0 or
// where it cannot be scaled.
int MetricForDpi(int index, UINT dpi);
// AdjustWindowRectEx for the window's styles, with the frame, title and
// menu bar at dpi.
void AdjustWindowRectForDpi(RECT& rect, HWND hwnd, BOOL menu, UINT dpi);
// The open list of a combo box as wide as its longest entry (a port with
// its adapter's names) in the control's font, and the scroll bar's width
// at dpi: the list may be wider than the box.
void FitDroppedWidth(HWND combo, UINT dpi);

}  // namespace pelican::ui
