// The batch runner's answers to the dialogs of a run: each dialog the
// window program would show is answered from the command line, as the user
// would answer it.
#include <iostream>

#include "app/FirstSetDlg.h"
#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "station/BatchRunner.h"
#include "commands/DownloadDlg.h"
#include "commands/IDCheckDlg.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/SelectDlg.h"
#include "commands/SetAddressDlg.h"
#include "commands/SetCommDlg.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"
#include "image/IdFile.h"
#include "sys/Text.h"
#include "ui/Messages.h"

namespace pelican {

void CBatchRunner::Answer(ui::CDialog& dialog, int button) {
    m_backend.Press(dialog.Template().id, button);
}

void CBatchRunner::OnIdle(ui::CDialog& dialog) {
    AtSafePoint();
    const int id = dialog.Template().id;
    const int showing = m_backend.CurrentShowing();
    if (id == CIDCheckDlg::IDD && showing == m_answered.referShowing) {
        FinishIdCheck(dialog);
        return;
    }
    // A dialog that refused its input and stays open gets Cancel, never a
    // second try; what was asked of it did not happen.
    if (id != CPelicanDlg::IDD && !m_answered.showings.insert(showing).second) {
        m_standing.failed = true;
        m_answered.idRefused = m_answered.idRefused || id == CIDCheckDlg::IDD;
        Answer(dialog, ui::IDCANCEL);
        return;
    }
    const auto answer = m_answers.find(id);
    if (answer == m_answers.end()) {
        Answer(dialog, ui::IDCANCEL);
        return;
    }
    answer->second(dialog);
}

void CBatchRunner::AnswerSelectProgram(ui::CDialog& dialog) {
    const int id = dialog.Template().id;
    m_backend.SetCheck(id, m_options.target == 1 ? CS_PrgDlg::IDC_BOOTLOADER : CS_PrgDlg::IDC_FLASH);
    m_backend.SetText(id, CS_PrgDlg::IDC_PORT, m_options.port);
    Answer(dialog, ui::IDOK);
}

void CBatchRunner::AnswerSetBaudrate(ui::CDialog& dialog) {
    const int id = dialog.Template().id;
    // A second recovery within one action (or since its last retry) means
    // the board does not come back: give up instead of looping.
    if (m_boardReset.m_declined || (m_job.resetsInAction >= 2 && !RecoverAgain())) {
        Answer(dialog, ui::IDCANCEL);
        return;
    }
    if (m_options.baud != 0) m_backend.SetText(id, CSetCommDlg::IDC_BAUDRATE, std::to_string(m_options.baud));
    if (m_options.interval >= 0)
        m_backend.SetText(id, CSetCommDlg::IDC_INTERVAL, std::to_string(m_options.interval));
    Answer(dialog, ui::IDOK);
}

void CBatchRunner::AnswerErase(ui::CDialog& dialog) {
    Answer(dialog, m_options.yes || AskOnTerminal("Erase?") ? ui::IDOK : ui::IDCANCEL);
}

void CBatchRunner::AnswerDownload(ui::CDialog& dialog) {
    Answer(dialog, m_options.yes || AskOnTerminal("Download?") ? ui::IDOK : ui::IDCANCEL);
}

void CBatchRunner::AnswerProgramNextArea(ui::CDialog& dialog) {
    const std::string question = "Program next area. " + dialog.GetItemText(CPreWriteDlg::IDC_START) + " to " +
                                 dialog.GetItemText(CPreWriteDlg::IDC_END) + "?";
    Answer(dialog, m_options.yes || AskOnTerminal(question) ? ui::IDOK : ui::IDCANCEL);
}

void CBatchRunner::AnswerInputAddress(ui::CDialog& dialog) {
    // -r gives the texts as typed; without it the proposed range stands.
    m_answered.rangeStart = dialog.GetItemText(CSetAddressDlg::IDC_START);
    m_answered.rangeEnd = dialog.GetItemText(CSetAddressDlg::IDC_END);
    if (!m_options.range.empty()) {
        const size_t dash = m_options.range.find('-');
        m_answered.rangeStart = m_options.range.substr(0, dash);
        m_answered.rangeEnd = dash == std::string::npos ? std::string() : m_options.range.substr(dash + 1);
        m_backend.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, m_answered.rangeStart);
        m_backend.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, m_answered.rangeEnd);
    }
    const bool programs = m_job.action == "program" || m_job.action == "bpr";
    if (programs && !m_boardRecord.RangeHoldsSerial(m_answered.rangeStart, m_answered.rangeEnd)) {
        m_standing.failed = true;
        Answer(dialog, ui::IDCANCEL);
        return;
    }
    Answer(dialog, ui::IDOK);
}

void CBatchRunner::AnswerFileSelect(ui::CDialog& dialog) {
    if (m_options.file.empty()) {
        Answer(dialog, ui::IDCANCEL);
        return;
    }
    // A typed path: any S-record file is taken, boot programs included.
    m_backend.SetText(dialog.Template().id, CSelectDlg::IDC_FILEPATH, m_options.file);
    Answer(dialog, ui::IDOK);
}

void CBatchRunner::AnswerIdCheck(ui::CDialog& dialog) {
    const int id = dialog.Template().id;
    // Once refused, the same ID is refused again: it would only be told
    // twice, and each wrong ID counts against the board's ID check.
    if (m_options.file.empty() || m_answered.idRefused) {
        m_backend.Press(id, ui::IDCANCEL);
        return;
    }
    if (m_options.id.empty()) {
        // As a user would: "Refer..." loads the file and reads its ".id" file;
        // OK follows once it is seen how that went.
        m_backend.FileOpenAnswer(m_options.file);
        m_backend.Press(id, CIDCheckDlg::IDC_REFER);
        m_answered.referShowing = m_backend.CurrentShowing();
        return;
    }
    m_backend.SetText(id, CIDCheckDlg::IDC_FILEPATH, m_options.file);
    for (size_t i = 0; i < 7; ++i)
        m_backend.SetText(id, CIDCheckDlg::IDC_ID1 + static_cast<int>(i), m_answered.idBytes[i]);
    PressIdCheckOk(id);
}

void CBatchRunner::FinishIdCheck(ui::CDialog& dialog) {
    m_answered.referShowing = 0;
    // A file that could not be used at all has been told about; OK would
    // only load it again to be told once more.
    if (m_app.m_image.FileErrorShown()) {
        m_standing.failed = true;
        Answer(dialog, ui::IDCANCEL);
        return;
    }
    const int id = dialog.Template().id;
    std::string idPath;
    if (!m_options.mcu.empty() && CIdFile::PathFor(m_options.file, idPath)) {
        // "Refer..." filled the ID fields by the type it detected; the type
        // chosen over it has ID addresses of its own in the ".id" file, as
        // a user who chose it would then type them.
        CIdFile::Fields fields;
        for (size_t i = 0; i < fields.size(); ++i)
            fields[i] = dialog.GetItemText(CIDCheckDlg::IDC_ID1 + static_cast<int>(i));
        if (CIdFile::Fill(idPath, m_options.mcu == "w" ? 1 : 0, fields) == FileError::None) {
            for (size_t i = 0; i < fields.size(); ++i)
                m_backend.SetText(id, CIDCheckDlg::IDC_ID1 + static_cast<int>(i), fields[i]);
        }
    }
    PressIdCheckOk(id);
}

void CBatchRunner::PressIdCheckOk(int id) {
    if (m_options.mcu == "sp") m_backend.SetCheck(id, CIDCheckDlg::IDC_ORCA_SP);
    if (m_options.mcu == "w") m_backend.SetCheck(id, CIDCheckDlg::IDC_ORCA_W);
    m_backend.Press(id, ui::IDOK);
}

}  // namespace pelican
