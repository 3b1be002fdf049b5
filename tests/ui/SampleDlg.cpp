#include "SampleDlg.h"

#include "IdEntryDlg.h"
#include "ui/UiBackend.h"

namespace pelican::test {

using namespace pelican::ui;

DialogTemplate CSampleDlg::Template() {
    DialogTemplate t;
    t.id = kTemplateId;
    t.title = "Connection";
    t.cx = 200;
    t.cy = 156;
    auto add = [&t](ControlKind kind, int id, const char* caption, int x, int y, int cx, int cy,
                    uint32_t style = 0) {
        ControlTemplate c;
        c.kind = kind;
        c.id = id;
        c.caption = caption;
        c.x = x;
        c.y = y;
        c.cx = cx;
        c.cy = cy;
        c.style = style;
        t.controls.push_back(c);
        return t.controls.size() - 1;
    };
    add(ControlKind::Icon, IDC_STATIC, "", 8, 8, 20, 20);
    add(ControlKind::Static, IDC_STATIC, "Choose the &target and the port.", 36, 12, 156, 10);
    add(ControlKind::GroupBox, IDC_STATIC, "Target", 8, 32, 92, 44);
    add(ControlKind::Radio, kTargetFlash, "&Internal flash", 14, 44, 80, 10, kGroup);
    add(ControlKind::Radio, kTargetBoot, "&Boot loader", 14, 58, 80, 10);
    add(ControlKind::GroupBox, IDC_STATIC, "RS232C", 106, 32, 86, 44);
    add(ControlKind::Static, IDC_STATIC, "&Port", 112, 45, 22, 8);
    t.controls[add(ControlKind::ComboBox, kPort, "", 136, 43, 50, 60)].items = {"COM1", "COM2", "COM3", "COM4"};
    add(ControlKind::Static, IDC_STATIC, "Rate", 112, 60, 22, 8);
    t.controls[add(ControlKind::ComboList, kRate, "", 136, 58, 50, 60)].items = {"9600", "19200", "38400",
                                                                                  "57600", "115200"};
    add(ControlKind::CheckBox, kVerify, "&Verify after program", 8, 82, 120, 10);
    add(ControlKind::Static, IDC_STATIC, "ID", 8, 98, 20, 8);
    add(ControlKind::Edit, kId, "", 30, 96, 70, 12);
    add(ControlKind::Edit, kFile, "", 106, 96, 86, 12, kReadOnly);
    add(ControlKind::Progress, kBar, "", 8, 114, 184, 10, kBorder);
    add(ControlKind::Static, kNote, "Save & exit", 8, 126, 184, 8, kCenter | kNoPrefix);
    add(ControlKind::Etched, IDC_STATIC, "", 0, 135, 200, 1);
    add(ControlKind::Button, IDOK, "OK", 24, 138, 50, 14, kDefault);
    add(ControlKind::Button, IDCANCEL, "Cancel", 80, 138, 50, 14);
    add(ControlKind::Button, kRefer, "&Refer...", 136, 138, 50, 14);
    return t;
}

DialogTemplate CSampleDlg::TemplateWithoutDefault() {
    DialogTemplate t = Template();
    for (auto& control : t.controls) control.style &= ~static_cast<uint32_t>(kDefault);
    return t;
}

CSampleDlg::CSampleDlg(const DialogTemplate& tmpl) : CDialog(tmpl) {}

bool CSampleDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (IDialogHost* host = Host()) {
        host->SetRange(kBar, 0, 130);
        host->SetPos(kBar, 65);
    }
    return true;
}

void CSampleDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Radio(dx, kTargetFlash, m_target);
    DDX_Text(dx, kPort, m_port);
    DDX_Text(dx, kRate, m_rate);
    DDX_Text(dx, kId, m_id);
    DDX_Text(dx, kFile, m_file);
    if (IDialogHost* host = Host()) {
        if (dx.m_saveAndValidate)
            m_verify = host->GetCheck(kVerify);
        else
            host->SetCheck(kVerify, m_verify);
    }
}

void CSampleDlg::OnOK() {
    ++m_okCalls;
    if (!UpdateData(true)) return;
    if (m_id.empty()) {
        // Stays open so that the user can type the ID.
        MessageBox(Ui(), "Enter the ID.", Icon::Exclamation);
        return;
    }
    EndDialog(IDOK);
}

void CSampleDlg::OnCancel() {
    ++m_cancelCalls;
    if (!m_refuseCancel) CDialog::OnCancel();
}

void CSampleDlg::OnCommand(int id) {
    ++m_commands;
    if (id != kRefer) return;
    CIdEntryDlg entry;
    m_referResult = entry.DoModal(Ui());
    m_innerWasActive = entry.m_activeDuringInit == &entry;
    m_activeAfterRefer = Ui().ActiveDialog();
    if (m_referResult == IDOK) SetItemText(kId, entry.m_text);
}

}  // namespace pelican::test
