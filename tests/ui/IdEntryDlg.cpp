#include "IdEntryDlg.h"

#include "ui/UiBackend.h"

namespace pelican::test {

using namespace pelican::ui;

DialogTemplate CIdEntryDlg::Template() {
    DialogTemplate t;
    t.id = kTemplateId;
    t.title = "ID";
    t.cx = 120;
    t.cy = 50;
    t.controls.push_back({ControlKind::Edit, kText, "", 8, 8, 104, 12, 0, {}});
    t.controls.push_back({ControlKind::Button, IDOK, "OK", 8, 28, 50, 14, kDefault, {}});
    t.controls.push_back({ControlKind::Button, IDCANCEL, "Cancel", 62, 28, 50, 14, 0, {}});
    return t;
}

CIdEntryDlg::CIdEntryDlg() : CDialog(Template()) {}

bool CIdEntryDlg::OnInitDialog() {
    m_activeDuringInit = Ui().ActiveDialog();
    return CDialog::OnInitDialog();
}

void CIdEntryDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Text(dx, kText, m_text);
}

}  // namespace pelican::test
