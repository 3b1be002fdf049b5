#pragma once
// A modeless window on the progress window's template that a heap object
// may delete itself from inside its own Cancel handler: what a back end
// has to survive. Closing it in any way sets the caller's flag.
#include "ui/Dialog.h"

namespace pelican::test {

class CProgressTestDlg : public ui::CDialog {
public:
    enum { kTemplateId = 136, kBar = 1020, kMessage = 1021 };
    static ui::DialogTemplate Template();

    CProgressTestDlg(ui::IBackend& ui, int& cancel, bool deleteSelf);
    ~CProgressTestDlg() override;

    void OnCancel() override;
    // Counts the objects alive, to see that self-deletion happened.
    static int s_alive;

private:
    ui::IBackend& m_ui;
    int& m_cancel;
    bool m_deleteSelf;
};

}  // namespace pelican::test
