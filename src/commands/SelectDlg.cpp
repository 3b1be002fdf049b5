#include "commands/SelectDlg.h"

#include "commands/IDCheckDlg.h"
#include "sys/Text.h"
#include "ui/Messages.h"

namespace pelican {
const ui::DialogTemplate& CSelectDlg::Template160() {
    using ui::ControlKind;
    static const ui::DialogTemplate tmpl{
        IDD,
        "Program/Download File Select",
        262,
        62,
        "MS Sans Serif",
        8,
        ui::kSystemMenu | ui::kCentered,
        {
            {ControlKind::Static, ui::IDC_STATIC, "FilePath", 8, 12, 34, 8, 0, {}},
            {ControlKind::Edit, IDC_FILEPATH, "", 44, 10, 154, 14, ui::kGroup, {}},
            {ControlKind::Button, IDC_REFER, "Refer...", 204, 10, 50, 14, ui::kGroup, {}},
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 35, 262, 1, 0, {}},
            {ControlKind::Button, ui::IDOK, "OK", 148, 42, 50, 14, ui::kDefault | ui::kGroup, {}},
            {ControlKind::Button, ui::IDCANCEL, "Cancel", 204, 42, 50, 14, 0, {}},
        }};
    return tmpl;
}

CSelectDlg::CSelectDlg(IAppHost& host) : ui::CDialog(Template160()), m_host(host) {}

void CSelectDlg::DoDataExchange(ui::CDataExchange& dx) {
    ui::DDX_Text(dx, IDC_FILEPATH, m_filePath);
}

void CSelectDlg::OnCommand(int id) {
    if (id == IDC_REFER) OnRefer();
}

void CSelectDlg::OnRefer() {
    UpdateData(true);
    ui::FileOpenRequest request;
    request.filter = CIDCheckDlg::kFilter;
    request.initialPath = m_filePath;
    std::string chosen;
    if (!Ui().GetOpenFileName(request, chosen)) return;
    m_filePath = chosen;
    UpdateData(false);
    if (!m_filePath.empty()) {
        if (!CLoadNotice::Load(Ui(), m_host.Image(), m_filePath, nullptr, &m_host.Session().unendedTold)) return;  // its message ends the step
    }
    if (!IsProgramFileName(m_filePath)) {
        ui::MessageBox(Ui(), ui::IDS_CAN_NOT_ACCEPT_FILE, ui::Icon::Stop);
        m_filePath.clear();
        UpdateData(false);
    }
}

void CSelectDlg::OnOK() {
    ui::CWaitCursor wait(Ui());
    UpdateData(true);
    if (m_filePath.empty()) {
        ui::MessageBox(Ui(), ui::IDS_NO_FILENAME, ui::Icon::Exclamation);
        return;
    }
    FileIdentity first;
    if (!CLoadNotice::Load(Ui(), m_host.Image(), m_filePath, &first, &m_host.Session().unendedTold)) return;
    // The second load is the one the commands use: a file that changed or
    // went in between is refused here, the dialog stays open and the flag
    // stays as it was.
    if (!CLoadNotice::Reload(Ui(), m_host.Image(), m_filePath, first)) return;
    m_host.IdChecked() = 1;
    EndDialog(ui::IDOK);
}

bool CSelectDlg::IsProgramFileName(const std::string& path) {
    for (const char* ending : {".mot", ".s", ".srec", ".hex", ".ihex", ".bin"})
        if (EndsWithNoCase(path, ending)) return true;
    return false;
}

}  // namespace pelican
