#pragma once
// Real windows: dialogs built from their templates with Qt Widgets.
#include "ui/UiBackend.h"

namespace pelican::ui {

class CQtBackend final : public IBackend {
public:
    CQtBackend();
    ~CQtBackend() override;

    int RunModal(CDialog& dialog) override;
    int MessageBox(const std::string& caption, const std::string& text, Icon icon) override;
    bool GetOpenFileName(const FileOpenRequest& request, std::string& path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    bool CreateModeless(CDialog& dialog) override;
    void DestroyModeless(CDialog& dialog) override;
    CDialog* ActiveDialog() override;
    void PumpMessages() override;
};

}  // namespace pelican::ui
