#include "commands/StatesDlg.h"

#include "protocol/Protocol.h"

namespace pelican {

const ui::DialogTemplate& CStatesDlg::Template140() {
    using ui::ControlKind;
    auto field = [](int id, int x, int y) {
        return ui::ControlTemplate{ControlKind::Edit, id, "", x, y, 40, 14, ui::kReadOnly | ui::kNoBorder, {}};
    };
    // Labels end where their field begins; a long one wraps to a second line.
    auto label = [](const char* text, int x, int y, int fieldX) {
        return ui::ControlTemplate{ControlKind::Static, ui::IDC_STATIC, text, x, y + 3, fieldX - x - 2, 18, 0, {}};
    };
    static const ui::DialogTemplate tmpl{
        IDD,
        "Status",
        215,
        147,
        "MS Sans Serif",
        9,
        ui::kSystemMenu | ui::kCentered,
        {
            field(IDC_READY, 7, 7),
            label("ID Check", 7, 34, 45),
            field(IDC_IDCHECK, 45, 34),
            label("Erase", 7, 55, 45),
            field(IDC_ERASE, 45, 55),
            label("Program", 7, 76, 45),
            field(IDC_PROGRAM, 45, 76),
            label("After block", 7, 97, 45),
            field(IDC_AFTERBLOCK, 45, 97),
            label("Check sum", 94, 55, 168),
            field(IDC_CHECKSUM, 168, 55),
            label("Data receive timeout", 94, 76, 168),
            field(IDC_TIMEOUT, 168, 76),
            label("Over number of data", 94, 97, 168),
            field(IDC_OVER, 168, 97),
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 119, 215, 1, 0, {}},
            {ControlKind::Button, ui::IDOK, "Menu", 82, 126, 50, 14, ui::kDefault | ui::kGroup, {}},
        }};
    return tmpl;
}

CStatesDlg::CStatesDlg() : ui::CDialog(Template140()) {}

void CStatesDlg::SetStatus(unsigned status1, unsigned status2) {
    using namespace protocol;
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
