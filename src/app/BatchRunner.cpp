#include "app/BatchRunner.h"

#include <unistd.h>

#include <iostream>
#include <map>

#include "app/FirstSetDlg.h"
#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "commands/PreEraseDlg.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"
#include "link/SetCommDlg.h"

namespace pelican {
namespace {

const std::map<std::string, int>& ActionButtons() {
    static const std::map<std::string, int> buttons = {
        {"load", CPelicanDlg::IDC_LOAD},         {"status", CPelicanDlg::IDC_STATUS},
        {"version", CPelicanDlg::IDC_VERSION},   {"setting", CPelicanDlg::IDC_SETTING},
        {"erase", CPelicanDlg::IDC_ERASE},       {"blank", CPelicanDlg::IDC_BLANK},
        {"program", CPelicanDlg::IDC_PROGRAM},   {"read", CPelicanDlg::IDC_READ},
        {"epr", CPelicanDlg::IDC_EPR},           {"bpr", CPelicanDlg::IDC_BPR},
        {"download", CPelicanDlg::IDC_DOWNLOAD},
    };
    return buttons;
}

// Messages that report success; every other message means the action did
// not do what was asked.
bool IsSuccessMessage(const std::string& text) {
    return text == "Erase OK." || text == "Program OK." || text == "Download Completed.";
}

}  // namespace

CBatchRunner::CBatchRunner(CPelicanApp& app, const BatchOptions& options)
    : m_app(app), m_options(options) {
    m_interactive = ::isatty(STDIN_FILENO) != 0;
    m_backend.m_onIdle = [this](ui::CDialog& dialog) { OnIdle(dialog); };
    m_backend.m_onMessage = [this](const ui::MessageRecord& message) { OnMessage(message); };
}

CBatchRunner::~CBatchRunner() {
    ui::SetBackend(nullptr);
}

std::string CBatchRunner::MessageLine(const ui::MessageRecord& message) {
    std::string text = message.text;
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return std::string(ui::IconWord(message.icon)) + ": " + text;
}

void CBatchRunner::Print(const std::string& line) {
    if (m_print) {
        m_print(line);
    } else {
        std::cout << line << '\n' << std::flush;
    }
}

bool CBatchRunner::AskOnTerminal(const std::string& question) {
    if (!m_interactive) return false;
    std::cerr << question << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

void CBatchRunner::OnMessage(const ui::MessageRecord& message) {
    Print(MessageLine(message));
    if (!IsSuccessMessage(message.text)) m_failed = true;
    if (message.text.find("Push RESET.") != std::string::npos) {
        ++m_resetsInAction;
        m_linkLost = true;
        if (m_interactive) {
            std::cerr << "Reset the board, then press Enter." << std::flush;
            std::string ignored;
            std::getline(std::cin, ignored);
        }
        if (m_onReset) m_onReset();
    }
}

void CBatchRunner::Answer(ui::CDialog& dialog, int button) {
    m_backend.Press(dialog.Template().id, button);
}

void CBatchRunner::OnIdle(ui::CDialog& dialog) {
    const int id = dialog.Template().id;
    // A dialog that refused its input and stays open gets Cancel, never a
    // second try.
    if (&dialog == m_lastAnswered && id != CPelicanDlg::IDD) {
        Answer(dialog, ui::IDCANCEL);
        return;
    }
    m_lastAnswered = &dialog;
    switch (id) {
        case CS_PrgDlg::IDD:
            m_backend.SetCheck(id, m_options.target == 1 ? CS_PrgDlg::IDC_BOOTLOADER : CS_PrgDlg::IDC_FLASH);
            m_backend.SetText(id, CS_PrgDlg::IDC_PORT, m_options.port);
            Answer(dialog, ui::IDOK);
            return;
        case CFirstSetDlg::IDD:
            Answer(dialog, ui::IDOK);
            return;
        case CSetCommDlg::IDD:
            // A second recovery within one action means the board does not
            // come back: give up instead of looping.
            if (m_resetsInAction >= 2) {
                Answer(dialog, ui::IDCANCEL);
                return;
            }
            if (m_options.baud != 0)
                m_backend.SetText(id, CSetCommDlg::IDC_BAUDRATE, std::to_string(m_options.baud));
            if (m_options.interval >= 0)
                m_backend.SetText(id, CSetCommDlg::IDC_INTERVAL, std::to_string(m_options.interval));
            Answer(dialog, ui::IDOK);
            return;
        case CPreEraseDlg::IDD:
            Answer(dialog, m_options.yes || AskOnTerminal("Erase?") ? ui::IDOK : ui::IDCANCEL);
            return;
        case CStatesDlg::IDD: {
            static const std::pair<int, const char*> kFields[] = {
                {CStatesDlg::IDC_READY, "Ready"},
                {CStatesDlg::IDC_IDCHECK, "ID Check"},
                {CStatesDlg::IDC_ERASE, "Erase"},
                {CStatesDlg::IDC_PROGRAM, "Program"},
                {CStatesDlg::IDC_AFTERBLOCK, "After block"},
                {CStatesDlg::IDC_CHECKSUM, "Check sum"},
                {CStatesDlg::IDC_TIMEOUT, "Data receive timeout"},
                {CStatesDlg::IDC_OVER, "Over number of data"},
            };
            for (const auto& [control, label] : kFields)
                Print(std::string(label) + ": " + dialog.GetItemText(control));
            Answer(dialog, ui::IDOK);
            return;
        }
        case CVersionDlg::IDD: {
            const std::string version = dialog.GetItemText(CVersionDlg::IDC_VERSION);
            Print("Version: " + version);
            if (version == "ERROR") m_failed = true;
            Answer(dialog, ui::IDOK);
            return;
        }
        case CPelicanDlg::IDD:
            PressNextButton(dialog);
            return;
        default:
            Answer(dialog, ui::IDCANCEL);
            return;
    }
}

void CBatchRunner::PressNextButton(ui::CDialog& mainWindow) {
    m_resetsInAction = 0;
    m_lastAnswered = nullptr;
    if (!m_settingDone) {
        m_settingDone = true;
        CSerialCommState state;
        m_app.m_port.GetState(state);
        const bool otherRate = m_options.baud != 0 && state.m_baudRate != m_options.baud;
        const bool otherInterval = m_options.interval >= 0 && m_options.interval != g_programInterval;
        if (m_app.m_linkReady && (otherRate || otherInterval)) {
            m_backend.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_SETTING);
            return;
        }
    }
    if (m_nextAction < m_options.actions.size() && m_app.m_linkReady) {
        const std::string& action = m_options.actions[m_nextAction++];
        m_backend.Press(CPelicanDlg::IDD, ActionButtons().at(action));
        return;
    }
    if (m_nextAction < m_options.actions.size()) {
        // Without a link every button is refused; press the rest anyway so
        // that each reports, as the window would.
        m_backend.Press(CPelicanDlg::IDD, ActionButtons().at(m_options.actions[m_nextAction++]));
        return;
    }
    m_exitPressed = true;
    if (!m_app.m_linkReady) m_linkLost = true;
    m_backend.Press(mainWindow.Template().id, ui::IDCANCEL);
}

int CBatchRunner::Run() {
    ui::SetBackend(&m_backend);
    m_app.InitInstance();
    ui::SetBackend(nullptr);
    if (!m_exitPressed) return m_app.m_linkReady ? 1 : 3;  // start-up ended early
    if (m_linkLost && !m_app.m_linkReady) return 3;
    return m_failed ? 1 : 0;
}

}  // namespace pelican
