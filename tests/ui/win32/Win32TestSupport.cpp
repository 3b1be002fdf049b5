#include "Win32TestSupport.h"

#include "sys/win32/WideText.h"

namespace pelican::test::win32 {

std::string ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return Narrow(name);
}

std::string TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    return Narrow(text);
}

HWND Focused(HWND fallback) {
    HWND focus = GetFocus();
    return focus != nullptr ? focus : fallback;
}

void PressKey(HWND hwnd, WPARAM key) {
    HWND target = Focused(hwnd);
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scan << 16)));
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
}

void Click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

void Type(HWND field, const std::string& text) {
    for (wchar_t c : Widen(text)) PostMessageW(field, WM_CHAR, c, 1);
}

void CloseBox(HWND window) {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

std::string MessageTextOf(HWND box) {
    // The message is the box's one static control with text.
    std::string text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM found) -> BOOL {
            if (ClassOf(child) != "Static" || TextOf(child).empty()) return TRUE;
            *reinterpret_cast<std::string*>(found) = TextOf(child);
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

bool CaptureWindow(HWND window, const std::string& path) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    // Wine hands what a window has drawn to the X server while the thread
    // waits for messages: a short wait lets the last controls reach it.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT);
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // What is on the screen: the frame, the title bar and every control as
    // the system drew them (asking the window to print itself leaves out
    // its controls under Wine).
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
    GdiFlush();
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    bool written = false;
    if (copied) {
        HANDLE out = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD done = 0;
            written = WriteFile(out, &file, sizeof(file), &done, nullptr) &&
                      WriteFile(out, &info.bmiHeader, sizeof(BITMAPINFOHEADER), &done, nullptr) &&
                      WriteFile(out, bits, imageSize, &done, nullptr);
            CloseHandle(out);
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}

CModalScript::CModalScript(ui::CWin32Backend& backend) : m_backend(backend) {
    m_backend.m_onModalShown = [this](HWND window) {
        if (m_next < m_steps.size())
            m_steps[m_next++](window);
        else
            CloseBox(window);
    };
}

CModalScript::~CModalScript() {
    m_backend.m_onModalShown = nullptr;
}

CModalScript& CModalScript::Then(std::function<void(HWND)> step) {
    m_steps.push_back(std::move(step));
    return *this;
}

}  // namespace pelican::test::win32
