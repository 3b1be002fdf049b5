#include "ui/Dialog.h"

#include "ui/UiBackend.h"

namespace pelican::ui {

const ControlTemplate* DialogTemplate::Find(int controlId) const {
    for (const auto& control : controls) {
        if (control.id == controlId && controlId != IDC_STATIC) return &control;
    }
    return nullptr;
}

void DDX_Text(CDataExchange& dx, int id, std::string& value) {
    IDialogHost* host = dx.m_dialog.Host();
    if (host == nullptr) return;
    if (dx.m_saveAndValidate)
        value = host->GetText(id);
    else
        host->SetText(id, value);
}

void DDX_Radio(CDataExchange& dx, int firstId, int& value) {
    IDialogHost* host = dx.m_dialog.Host();
    if (host == nullptr) return;
    const auto& controls = dx.m_dialog.Template().controls;
    size_t first = controls.size();
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].id == firstId) first = i;
    }
    if (first == controls.size()) return;
    int index = 0;
    if (dx.m_saveAndValidate) value = -1;
    for (size_t i = first; i < controls.size(); ++i, ++index) {
        const auto& control = controls[i];
        if (control.kind != ControlKind::Radio || (i != first && (control.style & kGroup))) break;
        if (dx.m_saveAndValidate) {
            if (host->GetCheck(control.id)) value = index;
        } else {
            host->SetCheck(control.id, index == value ? 1 : 0);
        }
    }
}

CDialog::CDialog(const DialogTemplate& tmpl) : m_template(tmpl) {}

CDialog::~CDialog() = default;

int CDialog::DoModal(IBackend& ui) {
    m_ui = &ui;
    return ui.RunModal(*this);
}

IBackend& CDialog::Ui() const {
    return m_ui != nullptr ? *m_ui : StandInBackend();
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnCommand(int) {}

void CDialog::OnEnterKey() {
    for (const auto& control : m_template.controls) {
        if (control.kind == ControlKind::Button && (control.style & kDefault)) {
            if (control.id == IDOK)
                OnOK();
            else if (control.id == IDCANCEL)
                OnCancel();
            else
                OnCommand(control.id);
            return;
        }
    }
}

bool CDialog::UpdateData(bool save) {
    if (m_host == nullptr) return false;
    CDataExchange dx(*this, save);
    DoDataExchange(dx);
    return true;
}

void CDialog::EndDialog(int result) {
    if (m_host != nullptr) m_host->End(result);
}

std::string CDialog::GetItemText(int id) const {
    return m_host != nullptr ? m_host->GetText(id) : std::string();
}

void CDialog::SetItemText(int id, const std::string& text) {
    if (m_host != nullptr) m_host->SetText(id, text);
}

void CDialog::DoDataExchange(CDataExchange&) {}

}  // namespace pelican::ui
