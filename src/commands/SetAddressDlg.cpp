#include "commands/SetAddressDlg.h"

namespace pelican {
namespace {

constexpr const char* kFirstStart = "0C0000";
constexpr const char* kFirstEnd = "0FFFFF";

}  // namespace

thread_local std::string CSetAddressDlg::s_startText = kFirstStart;
thread_local std::string CSetAddressDlg::s_endText = kFirstEnd;

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

CSetAddressDlg::CSetAddressDlg() : ui::CDialog(Template130()), m_startText(s_startText), m_endText(s_endText) {}

void CSetAddressDlg::OnOK() {
    if (!UpdateData(true)) return;
    s_startText = m_startText;
    s_endText = m_endText;
    EndDialog(ui::IDOK);
}

void CSetAddressDlg::ForgetTexts() {
    s_startText = kFirstStart;
    s_endText = kFirstEnd;
}

void CSetAddressDlg::DoDataExchange(ui::CDataExchange& dx) {
    ui::DDX_Text(dx, IDC_START, m_startText);
    ui::DDX_Text(dx, IDC_END, m_endText);
}

}  // namespace pelican
