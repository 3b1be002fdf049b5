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
