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

    ui::IBackend& Backend() override { return m_windows; }
    void WakeFor(std::function<void()> onWake) override;

private:
    QApplication m_qapp;
    ui::CQtBackend m_windows;
    std::unique_ptr<QSocketNotifier> m_wake;
};

}  // namespace pelican
