#include "app/AboutDlg.h"

#include "app/Version.h"

namespace pelican {

const ui::DialogTemplate& CAboutDlg::Template100() {
    using ui::ControlKind;
    static const ui::DialogTemplate tmpl{
        IDD,
        "About Pelican",
        217,
        67,
        "MS Sans Serif",
        8,
        ui::kSystemMenu | ui::kCentered,
        {
            {ControlKind::Icon, ui::IDC_STATIC, "", 11, 17, 20, 20, 0, {}},
            {ControlKind::Static, ui::IDC_STATIC, "Pelican Version " PELICAN_VERSION, 40, 10, 119, 8,
             ui::kNoPrefix, {}},
            {ControlKind::Static, ui::IDC_STATIC, "Flash programmer for Orca boot loaders", 40, 25, 130, 8,
             ui::kNoPrefix, {}},
            {ControlKind::Static, ui::IDC_STATIC, "Copyright 2026 The Pelican developers", 40, 40, 170, 8,
             ui::kNoPrefix, {}},
            {ControlKind::Static, ui::IDC_STATIC, "Free software under the MIT License", 40, 51, 170, 8,
             ui::kNoPrefix, {}},
            {ControlKind::Button, ui::IDOK, "OK", 178, 7, 32, 14, ui::kDefault | ui::kGroup, {}},
        }};
    return tmpl;
}

CAboutDlg::CAboutDlg() : ui::CDialog(Template100()) {}

}  // namespace pelican
