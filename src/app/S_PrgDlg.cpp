#include "app/S_PrgDlg.h"

namespace pelican {

std::string CS_PrgDlg::Entry(const std::string& port, const std::string& label) {
    return label.empty() ? port : port + " - " + label;
}

ui::DialogTemplate CS_PrgDlg::MakeTemplate(const std::vector<std::string>& ports,
                                           const std::map<std::string, std::string>& labels) {
    using ui::ControlKind;
    std::vector<std::string> entries;
    for (const std::string& port : ports) {
        const auto label = labels.find(port);
        entries.push_back(Entry(port, label == labels.end() ? std::string() : label->second));
    }
    return ui::DialogTemplate{
        IDD,
        "Select Program",
        186,
        110,
        "MS Sans Serif",
        8,
        ui::kSystemMenu | ui::kCentered,
        {
            {ControlKind::GroupBox, ui::IDC_STATIC, "Select Program", 7, 7, 172, 42, 0, {}},
            {ControlKind::Radio, IDC_FLASH, "Internal flash memory", 17, 19, 150, 10, ui::kGroup, {}},
            {ControlKind::Radio, IDC_BOOTLOADER, "Orca/W boot loader", 17, 33, 150, 10, 0, {}},
            {ControlKind::GroupBox, ui::IDC_STATIC, "RS232C", 7, 53, 172, 32, ui::kGroup, {}},
            {ControlKind::Static, ui::IDC_STATIC, "Port", 17, 68, 24, 8, 0, {}},
            {ControlKind::ComboBox, IDC_PORT, "", 45, 66, 124, 80, ui::kGroup, entries},
            {ControlKind::Button, ui::IDOK, "OK", 36, 90, 50, 14, ui::kDefault | ui::kGroup, {}},
            {ControlKind::Button, ui::IDCANCEL, "Cancel", 100, 90, 50, 14, 0, {}},
        }};
}

CS_PrgDlg::CS_PrgDlg(const std::vector<std::string>& ports, const std::map<std::string, std::string>& labels)
    : ui::CDialog(MakeTemplate(ports, labels)) {
    for (const std::string& port : ports) {
        const auto label = labels.find(port);
        if (label != labels.end() && !label->second.empty()) m_named.emplace_back(Entry(port, label->second), port);
    }
}

void CS_PrgDlg::DoDataExchange(ui::CDataExchange& dx) {
    ui::DDX_Radio(dx, IDC_FLASH, m_target);
    ui::DDX_Text(dx, IDC_PORT, m_port);
    if (!dx.m_saveAndValidate) return;
    for (const auto& [entry, port] : m_named)
        if (m_port == entry) m_port = port;
}

}  // namespace pelican
