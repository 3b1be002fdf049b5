#include "app/AnotherPortDlg.h"

namespace pelican {

const ui::DialogTemplate& CAnotherPortDlg::Template170() {
    using ui::ControlKind;
    static const ui::DialogTemplate tmpl{
        IDD,
        "No answer",
        200,
        70,
        "MS Sans Serif",
        8,
        ui::kSystemMenu | ui::kCentered,
        {
            {ControlKind::Static, IDC_TEXT, "", 10, 10, 180, 26, ui::kCenter | ui::kNoPrefix, {}},
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 41, 200, 1, 0, {}},
            {ControlKind::Button, ui::IDOK, "OK", 37, 49, 50, 14, ui::kDefault | ui::kGroup, {}},
            {ControlKind::Button, ui::IDCANCEL, "Cancel", 113, 49, 50, 14, 0, {}},
        }};
    return tmpl;
}

CAnotherPortDlg::CAnotherPortDlg(const std::string& port)
    : ui::CDialog(Template170()),
      m_text("No board answered on " + port + ".\nChoose another port in \"Select Program\"?") {}

void CAnotherPortDlg::DoDataExchange(ui::CDataExchange& dx) {
    ui::DDX_Text(dx, IDC_TEXT, m_text);
}

}  // namespace pelican
