#include "commands/PreWriteDlg.h"

namespace pelican {

const ui::DialogTemplate& CPreWriteDlg::Template131() {
    using ui::ControlKind;
    static const ui::DialogTemplate tmpl{
        IDD,
        "Program",
        170,
        74,
        "MS Sans Serif",
        8,
        ui::kSystemMenu | ui::kCentered,
        {
            {ControlKind::Static, ui::IDC_STATIC, "Program next area.", 14, 9, 142, 8, 0, {}},
            {ControlKind::Edit, IDC_START, "", 14, 25, 60, 12, ui::kReadOnly | ui::kGroup, {}},
            {ControlKind::Static, ui::IDC_STATIC, "to", 79, 27, 12, 8, 0, {}},
            {ControlKind::Edit, IDC_END, "", 96, 25, 60, 12, ui::kReadOnly | ui::kGroup, {}},
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 45, 170, 1, 0, {}},
            {ControlKind::Button, ui::IDOK, "OK", 22, 53, 50, 14, ui::kDefault | ui::kGroup, {}},
            {ControlKind::Button, ui::IDCANCEL, "Cancel", 98, 53, 50, 14, 0, {}},
        }};
    return tmpl;
}

CPreWriteDlg::CPreWriteDlg() : ui::CDialog(Template131()) {}

void CPreWriteDlg::SetRange(const std::string& startText, const std::string& endText) {
    m_startText = startText;
    m_endText = endText;
}

void CPreWriteDlg::DoDataExchange(ui::CDataExchange& dx) {
    ui::DDX_Text(dx, IDC_START, m_startText);
    ui::DDX_Text(dx, IDC_END, m_endText);
}

}  // namespace pelican
