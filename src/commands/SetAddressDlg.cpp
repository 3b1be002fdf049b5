#include "commands/SetAddressDlg.h"

namespace pelican {
const ui::DialogTemplate& CSetAddressDlg::Template130() {
    using ui::ControlKind;
    static const ui::DialogTemplate tmpl{
        IDD,
        "Input Address",
        146,
        78,
        "MS Sans Serif",
        8,
        ui::kSystemMenu | ui::kCentered,
        {
            {ControlKind::Static, ui::IDC_STATIC, "Start", 14, 12, 24, 8, 0, {}},
            {ControlKind::Edit, IDC_START, "", 44, 10, 88, 12, ui::kGroup, {}},
            {ControlKind::Static, ui::IDC_STATIC, "End", 14, 32, 24, 8, 0, {}},
            {ControlKind::Edit, IDC_END, "", 44, 30, 88, 12, ui::kGroup, {}},
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 50, 146, 1, 0, {}},
            {ControlKind::Button, ui::IDOK, "OK", 14, 57, 50, 14, ui::kDefault | ui::kGroup, {}},
            {ControlKind::Button, ui::IDCANCEL, "Cancel", 82, 57, 50, 14, 0, {}},
        }};
    return tmpl;
}

CSetAddressDlg::CSetAddressDlg(BoardSession& session)
    : ui::CDialog(Template130()), m_startText(session.rangeStart), m_endText(session.rangeEnd), m_session(session) {}

void CSetAddressDlg::OnOK() {
    if (!UpdateData(true)) return;
    m_session.rangeStart = m_startText;
    m_session.rangeEnd = m_endText;
    EndDialog(ui::IDOK);
}

void CSetAddressDlg::DoDataExchange(ui::CDataExchange& dx) {
    ui::DDX_Text(dx, IDC_START, m_startText);
    ui::DDX_Text(dx, IDC_END, m_endText);
}

}  // namespace pelican
