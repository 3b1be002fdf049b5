#include "commands/SetCommDlg.h"

#include "sys/Text.h"

namespace pelican {

const ui::DialogTemplate& CSetCommDlg::Template150() {
    using ui::ControlKind;
    static const ui::DialogTemplate tmpl{
        IDD,
        "Set baudrate",
        162,
        74,
        "MS Sans Serif",
        8,
        ui::kSystemMenu | ui::kCentered,
        {
            {ControlKind::Static, ui::IDC_STATIC, "Baud rate (bps)", 10, 12, 72, 8, 0, {}},
            {ControlKind::ComboBox, IDC_BAUDRATE, "", 88, 10, 64, 80, ui::kGroup,
             {"9600", "19200", "38400", "57600", "115200"}},
            {ControlKind::Static, ui::IDC_STATIC, "Program_intervals(ms)", 10, 32, 76, 8, 0, {}},
            {ControlKind::ComboBox, IDC_INTERVAL, "", 88, 30, 64, 100, ui::kGroup,
             {"5", "10", "15", "20", "25", "30", "35", "40", "45", "50"}},
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 48, 162, 1, 0, {}},
            {ControlKind::Button, ui::IDOK, "OK", 22, 54, 50, 14, ui::kDefault | ui::kGroup, {}},
            {ControlKind::Button, ui::IDCANCEL, "Cancel", 90, 54, 50, 14, 0, {}},
        }};
    return tmpl;
}

CSetCommDlg::CSetCommDlg(BoardSession& session) : ui::CDialog(Template150()), m_session(session) {
    m_intervalText = std::to_string(m_session.programInterval);
}

void CSetCommDlg::SetBaudText(uint32_t baud) {
    m_baudText = std::to_string(baud);
}

int CSetCommDlg::GetBaudRate(uint32_t& rate) const {
    if (m_baudText.empty()) return 0;
    rate = static_cast<uint32_t>(ParseDigits(m_baudText));
    return 1;
}

int CSetCommDlg::GetInterval(int& interval) const {
    if (m_intervalText.empty()) return 0;
    interval = ParseDigits(m_intervalText);
    return 1;
}

void CSetCommDlg::OnOK() {
    if (!UpdateData(true)) return;
    if (!m_intervalText.empty()) m_session.programInterval = ParseDigits(m_intervalText);
    EndDialog(ui::IDOK);
}

void CSetCommDlg::DoDataExchange(ui::CDataExchange& dx) {
    ui::DDX_Text(dx, IDC_BAUDRATE, m_baudText);
    ui::DDX_Text(dx, IDC_INTERVAL, m_intervalText);
}

}  // namespace pelican
