#pragma once
// Real windows: dialogs built from their templates with Qt Widgets. A
// QApplication must exist while the back end is used.
#include <functional>
#include <utility>
#include <vector>

#include <QPointer>

#include "ui/UiBackend.h"

class QWidget;

namespace pelican::ui {

class CQtDialogHost;

class CQtBackend final : public IBackend {
public:
    CQtBackend();
    ~CQtBackend() override;
    CQtBackend(const CQtBackend&) = delete;
    CQtBackend& operator=(const CQtBackend&) = delete;

    int RunModal(CDialog& dialog) override;
    int MessageBox(const std::string& caption, const std::string& text, Icon icon) override;
    bool GetOpenFileName(const FileOpenRequest& request, std::string& path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    bool CreateModeless(CDialog& dialog) override;
    void DestroyModeless(CDialog& dialog) override;
    CDialog* ActiveDialog() override;
    void PumpMessages() override;
    void RepaintWindows() override;

    // The window of a dialog this back end shows (modal or modeless), or none.
    static CQtDialogHost* HostOf(const CDialog& dialog);

    // Called with every modal window (dialog, message box, file dialog)
    // once it is shown and its event loop runs, and with every modeless
    // window as it is shown: a test answers the windows through these with
    // real clicks and keys.
    std::function<void(QWidget& window)> m_onModalShown;
    std::function<void(QWidget& window)> m_onModelessShown;

private:
    // The window that owns new dialogs and message boxes: the topmost modal
    // window, else the innermost dialog run modally, else the active window.
    QWidget* OwnerWindow() const;
    // Hands window to m_onModalShown from the event loop about to run.
    void AnnounceModal(QWidget& window);

    struct ModalRun {
        CDialog* dialog;
        QPointer<CQtDialogHost> host;
    };
    std::vector<ModalRun> m_modalStack;
    std::vector<std::pair<CDialog*, QPointer<CQtDialogHost>>> m_modeless;
    // Modeless windows whose deletion is deferred to the event loop.
    std::vector<QPointer<CQtDialogHost>> m_closing;
    int m_waitCursorDepth = 0;
};

}  // namespace pelican::ui
