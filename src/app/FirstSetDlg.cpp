#include "app/FirstSetDlg.h"

namespace pelican {

const ui::DialogTemplate& CFirstSetDlg::Template137() {
    using ui::ControlKind;
    static const ui::DialogTemplate tmpl{
        IDD,
        "Do you set communication state?",
        170,
        62,
        "MS Sans Serif",
        8,
        ui::kSystemMenu | ui::kCentered,
        {
            {ControlKind::Static, ui::IDC_STATIC, "Set communication state first.", 10, 14, 150, 10,
             ui::kCenter, {}},
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 33, 170, 1, 0, {}},
            {ControlKind::Button, ui::IDOK, "OK", 22, 41, 50, 14, ui::kDefault | ui::kGroup, {}},
            {ControlKind::Button, ui::IDCANCEL, "Cancel", 98, 41, 50, 14, 0, {}},
        }};
    return tmpl;
}

CFirstSetDlg::CFirstSetDlg() : ui::CDialog(Template137()) {}

}  // namespace pelican
