#include "commands/VersionDlg.h"

#include "sys/Text.h"

namespace pelican {

const ui::DialogTemplate& CVersionDlg::Template158() {
    using ui::ControlKind;
    static const ui::DialogTemplate tmpl{
        IDD,
        "Firmware Version",
        119,
        65,
        "MS Sans Serif",
        8,
        ui::kCentered | ui::kNoSystemMenu,
        {
            {ControlKind::Static, ui::IDC_STATIC, "Version", 10, 12, 45, 10, ui::kRight, {}},
            {ControlKind::Edit, IDC_VERSION, "", 65, 12, 40, 14, ui::kReadOnly | ui::kNoBorder, {}},
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 35, 119, 1, 0, {}},
            {ControlKind::Button, ui::IDOK, "OK", 35, 45, 50, 14, ui::kDefault | ui::kGroup, {}},
        }};
    return tmpl;
}

CVersionDlg::CVersionDlg() : ui::CDialog(Template158()) {}

void CVersionDlg::DoDataExchange(ui::CDataExchange& dx) {
    // The boot loader answers with bytes, one character each: shown as such
    // (0xE9 is "é", never half of a UTF-8 sequence). The field is read-only,
    // so nothing comes back from it.
    if (dx.m_saveAndValidate) return;
    std::string shown = Latin1ToUtf8(m_strVersion);
    ui::DDX_Text(dx, IDC_VERSION, shown);
}

}  // namespace pelican
