#include "commands/StatesDlg.h"

#include <vector>

#include "protocol/Protocol.h"

namespace pelican {

namespace {

ui::DialogTemplate MakeTemplate() {
    using D = CStatesDlg;
    using ui::ControlKind;
    // One line of the dialog: a read-only field and, left of it, its label
    // (which wraps to a second line when long).
    std::vector<ui::ControlTemplate> controls;
    auto row = [&controls](const char* label, int labelX, int id, int fieldX, int y) {
        if (label != nullptr)
            controls.push_back(
                {ControlKind::Static, ui::IDC_STATIC, label, labelX, y + 3, fieldX - labelX - 2, 18, 0, {}});
        controls.push_back({ControlKind::Edit, id, "", fieldX, y, 40, 14, ui::kReadOnly | ui::kNoBorder, {}});
    };
    row(nullptr, 0, D::IDC_READY, 7, 7);
    row("ID Check", 7, D::IDC_IDCHECK, 45, 34);
    row("Erase", 7, D::IDC_ERASE, 45, 55);
    row("Program", 7, D::IDC_PROGRAM, 45, 76);
    row("After block", 7, D::IDC_AFTERBLOCK, 45, 97);
    row("Check sum", 94, D::IDC_CHECKSUM, 168, 55);
    row("Data receive timeout", 94, D::IDC_TIMEOUT, 168, 76);
    row("Over number of data", 94, D::IDC_OVER, 168, 97);
    controls.push_back({ControlKind::Etched, ui::IDC_STATIC, "", 0, 119, 215, 1, 0, {}});
    controls.push_back({ControlKind::Button, ui::IDOK, "Menu", 82, 126, 50, 14, ui::kDefault | ui::kGroup, {}});
    return ui::DialogTemplate{D::IDD, "Status", 215, 147, "MS Sans Serif", 9, ui::kSystemMenu | ui::kCentered, controls};
}

}  // namespace

const ui::DialogTemplate& CStatesDlg::Template140() {
    static const ui::DialogTemplate tmpl = MakeTemplate();
    return tmpl;
}

CStatesDlg::CStatesDlg() : ui::CDialog(Template140()) {}

void CStatesDlg::SetStatus(unsigned status1, unsigned status2) {
    using namespace protocol;
    m_status1 = status1;
    m_status2 = status2;
    const auto word = [](unsigned value, unsigned bit, const char* set, const char* clear) {
        return std::string((value & bit) ? set : clear);
    };
    m_strReady = word(status1, kS1Ready, "Ready", "Busy");
    m_strErase = word(status1, kS1EraseFailed, "Error", "Right");
    m_strProgram = word(status1, kS1ProgramFailed, "Error", "Right");
    m_strAfterBlock = word(status1, kS1AfterBlock, "Error", "Right");
    m_strCheckSum = word(status2, kS2ChecksumMatch, "Match", "Not match");
    switch (IdStateOf(static_cast<uint8_t>(status2 & 0xFF))) {
        case IdState::NotTried: m_strIdCheck = "Not yet"; break;
        case IdState::Rejected: m_strIdCheck = "Not match"; break;
        case IdState::Passed: m_strIdCheck = "Match"; break;
        case IdState::Undefined: break;  // no meaning: the field keeps what it shows
    }
    m_strTimeout = word(status2, kS2DataTimeout, "Timeout", "Right");
    m_strOver = word(status2, kS2OverNumber, "Over", "Right");
}

void CStatesDlg::DoDataExchange(ui::CDataExchange& dx) {
    ui::DDX_Text(dx, IDC_AFTERBLOCK, m_strAfterBlock);
    ui::DDX_Text(dx, IDC_READY, m_strReady);
    ui::DDX_Text(dx, IDC_PROGRAM, m_strProgram);
    ui::DDX_Text(dx, IDC_ERASE, m_strErase);
    ui::DDX_Text(dx, IDC_CHECKSUM, m_strCheckSum);
    ui::DDX_Text(dx, IDC_IDCHECK, m_strIdCheck);
    ui::DDX_Text(dx, IDC_TIMEOUT, m_strTimeout);
    ui::DDX_Text(dx, IDC_OVER, m_strOver);
}

}  // namespace pelican
