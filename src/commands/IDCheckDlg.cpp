#include "commands/IDCheckDlg.h"

#include <algorithm>

#include "image/IdFile.h"
#include "link/Exchange.h"
#include "protocol/Protocol.h"
#include "sys/Text.h"
#include "ui/Messages.h"

namespace pelican {
const ui::DialogTemplate& CIDCheckDlg::Template129() {
    using ui::ControlKind;
    static const ui::DialogTemplate tmpl = [] {
        ui::DialogTemplate t{IDD, "ID Check", 262, 118, "MS Sans Serif", 8, ui::kSystemMenu | ui::kCentered, {}};
        t.controls.push_back({ControlKind::Static, ui::IDC_STATIC, "FilePath", 8, 12, 34, 8, 0, {}});
        t.controls.push_back(
            {ControlKind::Edit, IDC_FILEPATH, "", 44, 10, 154, 14, ui::kGroup | ui::kNotifyLeave, {}});
        t.controls.push_back({ControlKind::Button, IDC_REFER, "Refer...", 204, 10, 50, 14, ui::kGroup, {}});
        t.controls.push_back({ControlKind::Static, ui::IDC_STATIC, "ID", 8, 36, 34, 8, 0, {}});
        for (int i = 0; i < 7; ++i)
            t.controls.push_back(
                {ControlKind::Edit, IDC_ID1 + i, "", 44 + i * 22, 34, 18, 14, ui::kGroup | ui::kByteField, {}});
        t.controls.push_back({ControlKind::GroupBox, ui::IDC_STATIC, "MCU Type", 8, 56, 190, 28, 0, {}});
        t.controls.push_back({ControlKind::Radio, IDC_ORCA_SP, "Orca/S P", 20, 68, 60, 10, ui::kGroup, {}});
        t.controls.push_back({ControlKind::Radio, IDC_ORCA_W, "Orca/W", 100, 68, 60, 10, 0, {}});
        t.controls.push_back({ControlKind::Etched, ui::IDC_STATIC, "", 0, 91, 262, 1, 0, {}});
        t.controls.push_back({ControlKind::Button, ui::IDOK, "OK", 148, 98, 50, 14, ui::kDefault | ui::kGroup, {}});
        t.controls.push_back({ControlKind::Button, ui::IDCANCEL, "Cancel", 204, 98, 50, 14, 0, {}});
        return t;
    }();
    return tmpl;
}

CIDCheckDlg::CIDCheckDlg(IAppHost& host)
    : ui::CDialog(Template129()), m_mcuType(host.Session().mcuType), m_host(host) {}

void CIDCheckDlg::SetMcuType(int type) {
    m_mcuType = type;
    m_host.Session().mcuType = type;
}

void CIDCheckDlg::DoDataExchange(ui::CDataExchange& dx) {
    ui::DDX_Text(dx, IDC_FILEPATH, m_filePath);
    for (int i = 0; i < 7; ++i) ui::DDX_Text(dx, IDC_ID1 + i, m_id[static_cast<size_t>(i)]);
    ui::DDX_Radio(dx, IDC_ORCA_SP, m_mcuType);
}

void CIDCheckDlg::OnCommand(int id) {
    if (id == IDC_REFER) OnRefer();
}

void CIDCheckDlg::OnRefer() {
    UpdateData(true);
    SetMcuType(m_mcuType == 1 ? 1 : 0);
    ui::FileOpenRequest request;
    request.filter = kFilter;
    request.initialPath = m_filePath;
    std::string chosen;
    if (!Ui().GetOpenFileName(request, chosen)) return;
    m_filePath = chosen;
    UpdateData(false);
    TakeFile();
}

void CIDCheckDlg::OnFieldLeft(int id) {
    if (id != IDC_FILEPATH) return;
    UpdateData(true);
    SetMcuType(m_mcuType == 1 ? 1 : 0);
    // A path typed by hand gets the ID of the ".id" file beside it, as one
    // chosen with "Refer..." does; quietly, for the user may be about to
    // type the ID or still mending the path: OK says what is missing.
    if (m_filePath.empty() || m_filePath == m_idReadFor || !IdFieldsEmpty()) return;
    std::string idPath;
    bool orcaW = false;
    if (!CIdFile::PathFor(m_filePath, idPath) || CIdFile::NamesOrcaW(idPath, orcaW) != FileError::None) return;
    const int mcuType = orcaW ? 1 : m_mcuType;
    std::array<std::string, 7> fields;
    if (CIdFile::Fill(idPath, mcuType, fields) != FileError::None) return;
    m_idReadFor = m_filePath;
    SetMcuType(mcuType);
    m_id = fields;
    UpdateData(false);
}

bool CIDCheckDlg::IdFieldsEmpty() const {
    return std::all_of(m_id.begin(), m_id.end(), [](const std::string& field) { return field.empty(); });
}

void CIDCheckDlg::TakeFile() {
    if (!m_filePath.empty()) {
        SetMcuType(0);
        if (!CLoadNotice::Load(Ui(), m_host.Image(), m_filePath, nullptr, &m_host.Session().unendedTold)) {
            // The file could not be read: its message ends the step.
            UpdateData(false);
            return;
        }
        TakeMcuTypeFromImage();
        UpdateData(false);
    }
    ReadIdBeside();
}

void CIDCheckDlg::TakeMcuTypeFromImage() {
    uint32_t start = 0, end = 0;
    m_host.Image().GetUsedRange(start, end);
    // Data in the top page means the part's flash reaches the top of
    // the address space: an Orca/W.
    if (end == protocol::McuMapOf(1).flashEnd) SetMcuType(1);
}

bool CIDCheckDlg::ReadIdBeside(bool tellMissing) {
    m_idReadFor = m_filePath;
    std::string idPath;
    if (!CIdFile::PathFor(m_filePath, idPath)) {
        ui::MessageBox(Ui(), ui::IDS_CAN_NOT_ACCEPT_FILE, ui::Icon::Stop);
        m_id.fill(std::string());
        UpdateData(false);
        return false;
    }
    bool orcaW = false;
    const FileError opened = CIdFile::NamesOrcaW(idPath, orcaW);
    if (opened != FileError::None) {
        if (opened != FileError::NotFound || tellMissing) ShowIdFileError(opened, idPath);
        m_id.fill(std::string());
        UpdateData(false);
        return false;
    }
    if (orcaW) SetMcuType(1);
    const FileError read = CIdFile::Fill(idPath, m_mcuType, m_id);
    if (read != FileError::None) ShowIdFileError(read, idPath);
    UpdateData(false);
    return read == FileError::None;
}

void CIDCheckDlg::ShowIdFileError(FileError error, const std::string& idPath) {
    // A missing ID file is the everyday case and has its own message; one
    // that is there but cannot be read is named with the reason.
    if (error == FileError::NotFound)
        ui::MessageBox(Ui(), ui::IDS_ID_FILE_NOT_FOUND, ui::Icon::Exclamation);
    else
        ReportFileError(Ui(), error, idPath);
}

bool CIDCheckDlg::ParseId(uint8_t id[7]) const {
    for (size_t i = 0; i < m_id.size(); ++i) {
        const std::string& field = m_id[i];
        if (field.size() != 2) return false;
        const int high = HexDigit(field[0]);
        const int low = HexDigit(field[1]);
        if (high < 0 || low < 0) return false;
        id[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

void CIDCheckDlg::NotePassed(const uint8_t id[7]) {
    CDeviceId* device = m_host.DeviceId();
    if (device == nullptr) return;
    CDeviceId::Id passed{};
    std::copy(id, id + passed.size(), passed.begin());
    device->Passed(m_mcuType, passed);
}

void CIDCheckDlg::FinishWithLoad() {
    // The file may have changed or gone since it was chosen: what is
    // programmed next is what this load reads, so a refusal keeps the
    // dialog open with its message. It must be the file the check began
    // with: one rewritten meanwhile is refused as changed.
    if (CLoadNotice::Reload(Ui(), m_host.Image(), m_filePath, m_loaded)) EndDialog(ui::IDOK);
}

void CIDCheckDlg::OnOK() {
    ui::CWaitCursor wait(Ui());
    UpdateData(true);
    SetMcuType(m_mcuType == 1 ? 1 : 0);
    if (m_filePath.empty()) {
        ui::MessageBox(Ui(), ui::IDS_NO_FILENAME, ui::Icon::Exclamation);
        return;
    }
    if (!CLoadNotice::Load(Ui(), m_host.Image(), m_filePath, &m_loaded, &m_host.Session().unendedTold)) return;

    uint8_t status[2] = {0, 0};
    if (ReadStatus(m_host.Port(), status) != ReadResult::Ok) {
        m_host.RecoverLink();
        status[0] = status[1] = 0;
    }
    uint8_t id[protocol::kIdLength];
    bool idTyped = ParseId(id);
    if (protocol::IdStateOf(status[1]) == protocol::IdState::Passed) {
        m_host.IdChecked() = 1;
        // No ID went out: what was typed is only a guess at the board's,
        // tried if a board reset later must be given its ID again.
        if (idTyped) {
            if (CDeviceId* device = m_host.DeviceId()) {
                CDeviceId::Id guess{};
                std::copy(id, id + guess.size(), guess.begin());
                device->Offered(m_mcuType, guess);
            }
        }
        FinishWithLoad();
        return;
    }

    // A path typed by hand, with no ID typed: its ".id" is read as
    // "Refer..." reads it (once for each path).
    if (IdFieldsEmpty() && m_filePath != m_idReadFor) {
        SetMcuType(0);
        TakeMcuTypeFromImage();
        // A missing ".id" is told once, by ShowNoId with the path looked
        // for; any other fault of it was told as it was read.
        if (!ReadIdBeside(false)) {
            if (IdFileMissing()) ShowNoId();
            return;
        }
        idTyped = ParseId(id);
    }
    // Two hexadecimal digits per byte; anything else would go out as a
    // wrong ID byte and count against the device's ID check.
    if (!idTyped) {
        ShowNoId();
        return;
    }
    if (CheckId(m_host.Port(), m_mcuType, id, status) != ReadResult::Ok) {
        // The recovery has cleared the ID flag; the dialog stays open for
        // another try or Cancel.
        m_host.RecoverLink();
        return;
    }
    if (protocol::IdStateOf(status[1]) == protocol::IdState::Passed) {
        m_host.IdChecked() = 1;
        NotePassed(id);
        FinishWithLoad();
        return;
    }
    m_host.Port().PurgeInput();
    m_host.IdChecked() = 0;
    ui::MessageBox(Ui(), ui::IDS_NOT_MATCH_ID, ui::Icon::Exclamation);
    // The erase clears the ID locations with the rest of the flash: a board
    // whose E.P.R. stopped between its erase and its program looks locked.
    if (std::any_of(id, id + protocol::kIdLength, [](uint8_t byte) { return byte != 0xFF; }))
        ui::MessageBox(Ui(), IdEntered() ? ui::IDS_ID_ERASED_OPTION : ui::IDS_ID_ERASED_FIELDS, ui::Icon::Information);
}

bool CIDCheckDlg::IdEntered() const {
    return m_host.Session().idEntry == IdEntry::CommandLine;
}

bool CIDCheckDlg::IdFileMissing() const {
    std::string idPath;
    bool orcaW = false;
    return CIdFile::PathFor(m_filePath, idPath) && CIdFile::NamesOrcaW(idPath, orcaW) == FileError::NotFound;
}

void CIDCheckDlg::ShowNoId() {
    // Every field empty beside a program file without its ".id" file: no ID
    // was given at all, and where to give one is what the user needs.
    std::string idPath;
    if (IdFieldsEmpty() && IdFileMissing() && CIdFile::PathFor(m_filePath, idPath)) {
        ui::MessageBox(Ui(), ui::FormatString(IdEntered() ? ui::IDS_NO_ID_OPTION : ui::IDS_NO_ID_FIELDS, {idPath}),
                       ui::Icon::Exclamation);
        return;
    }
    ui::MessageBox(Ui(), ui::IDS_ID_STYLE, ui::Icon::Exclamation);
}

}  // namespace pelican
