#include "commands/DownloadDlg.h"

namespace pelican {

const ui::DialogTemplate& CDownloadDlg::Template159() {
    using ui::ControlKind;
    static const ui::DialogTemplate tmpl{
        IDD,
        "Download",
        134,
        54,
        "MS Sans Serif",
        8,
        ui::kCentered | ui::kNoSystemMenu,
        {
            {ControlKind::Static, ui::IDC_STATIC, "Download?", 51, 7, 40, 8, 0, {}},
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 25, 134, 1, 0, {}},
            {ControlKind::Button, ui::IDOK, "OK", 7, 33, 50, 14, ui::kDefault | ui::kGroup, {}},
            {ControlKind::Button, ui::IDCANCEL, "Cancel", 77, 33, 50, 14, 0, {}},
        }};
    return tmpl;
}

CDownloadDlg::CDownloadDlg() : ui::CDialog(Template159()) {}

}  // namespace pelican
