#pragma once
// The window program's windows on Windows: Win32 dialogs built from the
// templates, the timer tick fine for the run (see sys/TimerResolution.h).
// The thread that takes an ending (the session window's, the console's)
// wakes this one through the back end's message loop.
// The back end first: its names come before windows.h takes them.
#include "ui/win32/Win32Backend.h"
// clang-format off
#include <functional>
#include <utility>

#include "lifecycle/win32/SessionWindow.h"
#include "main/WindowFront.h"
#include "sys/TimerResolution.h"
// clang-format on

namespace pelican {

class CWin32Front final : public IWindowFront {
public:
    ui::IBackend& Backend() override { return m_windows; }
    void WakeFor(std::function<void()> onWake) override {
        if (!onWake) {
            SetEndingWake(nullptr);
            return;
        }
        m_windows.m_onWake = std::move(onWake);
        SetEndingWake([this] { m_windows.Wake(); });
    }

private:
    const CFineTimer m_fineTimer;
    ui::CWin32Backend m_windows;
};

}  // namespace pelican
