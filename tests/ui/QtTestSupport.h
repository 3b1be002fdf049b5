#pragma once
// Small helpers to drive real windows from a test: run a step once the
// event loop (of a modal run) is going, find the topmost modal window, send
// keys as the keyboard would.
#include <functional>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include "ui/Dialog.h"
#include "ui/qt/QtBackend.h"

namespace pelican::test {

// Runs step from the event loop, i.e. inside the next modal run.
inline void Later(std::function<void()> step) {
    QTimer::singleShot(0, std::move(step));
}

template <typename T>
T* TopModal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

// A key press delivered to widget; ignored keys travel up to the window
// as they do from the keyboard.
inline void PressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

// Ends every modal window still open after a while, so that a fault that
// leaves a window waiting fails the test instead of hanging it.
class CModalWatchdog {
public:
    explicit CModalWatchdog(int milliseconds = 10000) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [] {
            for (int i = 0; i < 20; ++i) {
                QWidget* window = QApplication::activeModalWidget();
                if (window == nullptr) break;
                ADD_FAILURE() << "window \"" << window->windowTitle().toStdString() << "\" left open";
                if (auto* host = dynamic_cast<ui::IDialogHost*>(window))
                    host->End(kAbandoned);
                else if (auto* dialog = qobject_cast<QDialog*>(window))
                    dialog->done(QDialog::Rejected);
                else
                    window->hide();
            }
        });
        m_timer.start(milliseconds);
    }
    static constexpr int kAbandoned = -99;

private:
    QTimer m_timer;
};

// Deletes windows whose deletion was deferred.
inline void FlushDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The Qt back end installed for one test, with a watchdog against windows
// left open and the deferred deletions flushed afterwards.
class CQtBackendFixture : public ::testing::Test {
protected:
    void SetUp() override { ui::SetBackend(&m_qt); }
    void TearDown() override {
        ui::SetBackend(nullptr);
        FlushDeferredDeletes();
    }
    CModalWatchdog m_watchdog;
    ui::CQtBackend m_qt;
};

}  // namespace pelican::test
