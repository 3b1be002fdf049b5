#pragma once
// The window program's windows on Linux: Qt's, with the application icon.
// A signal is heard by the event loop through the pipe CWindowSignals
// writes to from its handler.
#include <QApplication>
#include <QSocketNotifier>

#include <functional>
#include <memory>

#include "main/WindowFront.h"
#include "ui/qt/QtBackend.h"

namespace pelican {

class CQtFront final : public IWindowFront {
public:
    // argc lives as long as this object (QApplication keeps it).
    CQtFront(int& argc, char** argv);
    // Whether no display is named (neither DISPLAY nor WAYLAND_DISPLAY, and
    // no Qt platform chosen by hand): Qt would end the program with an abort.
    static bool DisplayMissing();

    ui::IBackend& Backend() override { return m_windows; }
    void WakeFor(std::function<void()> onWake) override;

private:
    // While Qt opens its platform: a display that is named but cannot be
    // opened ends the program with the usage status and one line, not with
    // Qt's abort.
    struct CPlatformGuard {
        CPlatformGuard();
        ~CPlatformGuard();
        QtMessageHandler previous;
    };

    std::unique_ptr<CPlatformGuard> m_guard;
    QApplication m_qapp;
    ui::CQtBackend m_windows;
    std::unique_ptr<QSocketNotifier> m_wake;
};

}  // namespace pelican
