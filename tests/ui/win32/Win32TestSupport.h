#pragma once
// Real input for the Windows back end's windows: keys and clicks posted to
// the actual controls, which go through the windows' own message loops,
// and the answers to the modal windows in the order they come.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/win32/Win32Backend.h"

namespace pelican::test::win32 {

std::string ClassOf(HWND hwnd);
std::string TextOf(HWND hwnd);
// A key pressed and released at the window that has the keyboard focus
// (or at hwnd when none of the thread's windows has it).
void PressKey(HWND hwnd, WPARAM key);
HWND Focused(HWND fallback);
// A mouse click on a button.
void Click(HWND button);
// Characters typed into a field.
void Type(HWND field, const std::string& text);
// The window's title-bar close box.
void CloseBox(HWND window);
// A message box's text (its static control of the message).
std::string MessageTextOf(HWND box);

// The window as drawn on the screen, written as a 24-bit BMP file.
bool CaptureWindow(HWND window, const std::string& path);

// Answers the modal windows one after the other; a window beyond the
// answers is closed with its close box so that nothing can hang.
class CModalScript {
public:
    explicit CModalScript(ui::CWin32Backend& backend);
    ~CModalScript();
    CModalScript(const CModalScript&) = delete;
    CModalScript& operator=(const CModalScript&) = delete;

    CModalScript& Then(std::function<void(HWND)> step);
    size_t Shown() const { return m_next; }

private:
    ui::CWin32Backend& m_backend;
    std::vector<std::function<void(HWND)>> m_steps;
    size_t m_next = 0;
};

// A test of real windows on the Windows back end of its own.
class CWin32WindowTest : public ::testing::Test {
protected:
    ui::CWin32Backend m_backend;
};

}  // namespace pelican::test::win32
