#pragma once
// Real windows: dialogs built from their templates with Qt Widgets. A
// QApplication must exist while the back end is used.
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

private:
    // The window that owns new dialogs and message boxes: the topmost modal
    // window, else the innermost dialog run modally, else the active window.
    QWidget* OwnerWindow() const;

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
