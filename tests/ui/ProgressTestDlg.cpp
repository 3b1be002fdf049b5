#include "ProgressTestDlg.h"

#include "ui/UiBackend.h"

namespace pelican::test {

using namespace pelican::ui;

int CProgressTestDlg::s_alive = 0;

DialogTemplate CProgressTestDlg::Template() {
    DialogTemplate t;
    t.id = kTemplateId;
    t.title = "Titel";
    t.cx = 186;
    t.cy = 93;
    t.controls.push_back({ControlKind::Progress, kBar, "", 8, 14, 170, 15, kBorder, {}});
    t.controls.push_back({ControlKind::Static, kMessage, "Message", 8, 35, 170, 26, kCenter | kNoPrefix, {}});
    t.controls.push_back({ControlKind::Etched, IDC_STATIC, "", 8, 65, 170, 1, 0, {}});
    t.controls.push_back({ControlKind::Button, IDCANCEL, "Cancel", 68, 72, 50, 14, 0, {}});
    return t;
}

CProgressTestDlg::CProgressTestDlg(int& cancel, bool deleteSelf)
    : CDialog(Template()), m_cancel(cancel), m_deleteSelf(deleteSelf) {
    ++s_alive;
}

CProgressTestDlg::~CProgressTestDlg() {
    --s_alive;
}

void CProgressTestDlg::OnCancel() {
    m_cancel = 1;
    Backend().DestroyModeless(*this);
    if (m_deleteSelf) delete this;
}

}  // namespace pelican::test
