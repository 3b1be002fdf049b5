#include "app/PelicanDlg.h"

#include "app/AboutDlg.h"
#include "app/PelicanApp.h"
#include "app/StatusLine.h"
#include "commands/BPRCmd.h"
#include "commands/BlankCmd.h"
#include "commands/CheckMemorryCmd.h"
#include "commands/DownloadCmd.h"
#include "commands/DumpCmd.h"
#include "commands/EPRCmd.h"
#include "commands/EraseCmd.h"
#include "commands/PageRetry.h"
#include "commands/PreEraseDlg.h"
#include "commands/ProgramCmd.h"
#include "commands/ReadCmd.h"
#include "commands/SettingCmd.h"
#include "commands/StatesCmd.h"
#include "commands/VersionCmd.h"
#include "link/Exchange.h"
#include "ui/Messages.h"

namespace pelican {

const ui::DialogTemplate& CPelicanDlg::Template102() {
    using ui::ControlKind;
    auto button = [](int id, const char* caption, int x, int y) {
        return ui::ControlTemplate{ControlKind::Button, id, caption, x, y, 50, 14, 0, {}};
    };
    static const ui::DialogTemplate tmpl{
        IDD,
        "Pelican",
        222,
        262,
        "MS Sans Serif",
        8,
        ui::kSystemMenu | ui::kCentered | ui::kMinimizeBox | ui::kAboutMenu | ui::kFileMenu |
            ui::kSkipPagesItem,
        {
            button(IDC_LOAD, "Load (ID)...", 36, 10),
            button(IDC_BLANK, "Blank...", 36, 42),
            button(IDC_READ, "Read...", 36, 74),
            button(IDC_STATUS, "Status...", 36, 106),
            button(IDC_EPR, "E. P. R...", 36, 138),
            button(IDC_BPR, "B. P. R...", 35, 172),
            button(IDC_PROGRAM, "Program...", 130, 10),
            button(IDC_ERASE, "Erase", 130, 42),
            button(IDC_SETTING, "Setting...", 130, 74),
            button(IDC_DOWNLOAD, "Download...", 130, 106),
            button(IDC_VERSION, "Version...", 130, 138),
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 200, 222, 1, 0, {}},
            button(ui::IDCANCEL, "Exit", 85, 210),
            {ControlKind::Etched, ui::IDC_STATIC, "", 0, 229, 222, 1, 0, {}},
            {ControlKind::Static, IDC_STATE, "", 8, 233, 206, 26, ui::kNoPrefix, {}},
        }};
    return tmpl;
}

CPelicanDlg::CPelicanDlg(CPelicanApp& app) : ui::CDialog(Template102()), m_app(app) {}

ui::IBackend& CPelicanDlg::Ui() const {
    return m_app.Ui();
}

// A command lets window events through between its pages, and a progress
// window that closes gives its owner back the state it had: a click that
// waited in the queue (say, just after Cancel) would otherwise reach a
// button and start a second command inside the first one's page loop, on
// the same port. So the window stays disabled from the press until the
// command has ended, and the dispatch refuses to nest.
class CPelicanDlg::CRunning {
public:
    explicit CRunning(CPelicanDlg& window) : m_window(window), m_host(window.Host()) {
        m_window.m_running = true;
        if (m_window.m_app.m_onCommandRunning) m_window.m_app.m_onCommandRunning(true);
        if (m_host != nullptr) {
            m_wasEnabled = m_host->IsWindowEnabled();
            m_host->EnableWindow(false);
        }
    }
    ~CRunning() {
        // The window may have gone with the command (the program ending).
        if (m_host != nullptr && m_window.Host() == m_host) m_host->EnableWindow(m_wasEnabled);
        m_window.m_running = false;
        if (m_window.m_app.m_onCommandRunning) m_window.m_app.m_onCommandRunning(false);
    }
    CRunning(const CRunning&) = delete;
    CRunning& operator=(const CRunning&) = delete;

private:
    CPelicanDlg& m_window;
    ui::IDialogHost* m_host;
    bool m_wasEnabled = true;
};

int CPelicanDlg::CheckLink() {
    if (App().m_linkReady) return 1;
    ui::MessageBox(Ui(), ui::IDS_CAN_NOT_COMMUNICATE, ui::Icon::Information);
    return 0;
}

int CPelicanDlg::CheckLinkAndId() {
    if (!CheckLink()) return 0;
    if (App().m_idChecked) return 1;
    ui::MessageBox(Ui(), ui::IDS_DID_NOT_PASS_ID, ui::Icon::Information);
    return 0;
}

int CPelicanDlg::ProbeLink(ReadResult* why) {
    CPelicanApp& app = App();
    app.m_port.PurgeInput();
    uint8_t status[2];
    const ReadResult read = ReadStatus(app.m_port, status);
    if (why != nullptr) *why = read;
    if (read == ReadResult::Ok) return 1;
    app.RecoverLink();
    return 0;
}

bool CPelicanDlg::MayRun(bool needsId) {
    // A press that stops here sent nothing (refused) or ran the recovery.
    m_lastOutcome = Outcome::Refused;
    if (!(needsId ? CheckLinkAndId() : CheckLink())) return false;
    ReadResult why = ReadResult::Ok;
    // With retries a probe that failed is made again once the recovery
    // has brought the link back (and the ID, where the press needs it).
    while (!ProbeLink(&why)) {
        CPageRetry retry(App());
        if (!retry.Resume(CPageRetry::Note("status", std::nullopt, CPageRetry::Failure(why), "read the status again")) ||
            (needsId && !App().m_idChecked)) {
            m_lastOutcome = Outcome::LinkLost;
            return false;
        }
    }
    return true;
}

Outcome CPelicanDlg::SaveFlash(uint32_t start, uint32_t end, const std::string& path) {
    if (m_running) return Outcome::Refused;
    CRunning running(*this);
    if (MayRun(true)) m_lastOutcome = CDumpCmd(App()).Run(start, end, path);
    SetLastResult(IDM_SAVEFLASH, m_lastOutcome);
    return m_lastOutcome;
}

Outcome CPelicanDlg::RunSetting() {
    CPelicanApp& app = App();
    const unsigned recoveries = app.Recoveries();
    CSettingCmd setting(app);
    const uint32_t rate = setting.Run();
    if (!setting.Confirmed()) return Outcome::Cancelled;
    if (app.Recoveries() != recoveries) return Outcome::LinkLost;
    // A change the device did not take leaves the link at its old rate,
    // which still works: the press did not do what was asked.
    return rate != 0 && rate == setting.AskedRate() ? Outcome::Done : Outcome::Failed;
}

bool CPelicanDlg::OnInitDialog() {
    const bool result = ui::CDialog::OnInitDialog();
    if (Host() != nullptr) Host()->SetCheck(IDM_SKIPEMPTY, App().m_skipEmptyPages ? 1 : 0);
    ShowState();
    return result;
}

void CPelicanDlg::OnCommand(int id) {
    // A press that reaches the window while a command runs starts nothing,
    // the check item included: the running command's pages are chosen.
    if (m_running) return;
    if (id == IDM_SKIPEMPTY) {
        // A choice for the next runs: it sends nothing and needs no link.
        App().SetSkipEmptyPages(!App().m_skipEmptyPages);
        if (Host() != nullptr) Host()->SetCheck(IDM_SKIPEMPTY, App().m_skipEmptyPages ? 1 : 0);
        return;
    }
    CRunning running(*this);
    Dispatch(id);
    if (id != IDM_ABOUTBOX)
        SetLastResult(id, m_lastOutcome);
    else
        ShowState();
}

void CPelicanDlg::SetLastResult(int button, Outcome outcome) {
    m_lastButton = button;
    m_lastOutcome = outcome;
    ShowState();
}

void CPelicanDlg::ShowState() {
    // The window may have gone with the command (the program ending).
    if (Host() == nullptr) return;
    CPelicanApp& app = App();
    CStatusLine::State state;
    state.port = app.m_port.PortName();
    CSerialCommState comm;
    app.m_port.GetState(comm);
    state.baud = comm.m_baudRate;
    state.linkReady = app.m_linkReady != 0;
    state.target = app.m_target;
    state.file = app.m_imagePath;
    state.idChecked = app.m_idChecked != 0;
    state.lastButton = m_lastButton;
    state.lastOutcome = m_lastOutcome;
    CCheckMemorryCmd::PageRange(app.Session().rangeStart, app.Session().rangeEnd, state.rangeStart, state.rangeEnd);
    SetItemText(IDC_STATE, CStatusLine::Text(state));
}

void CPelicanDlg::Dispatch(int id) {
    switch (id) {
        case IDM_ABOUTBOX: {
            CAboutDlg about;
            about.DoModal(Ui());
            return;
        }
        case IDM_SAVEFLASH:
            // Reading pages needs the ID check passed, as the read check does.
            if (MayRun(true)) m_lastOutcome = CDumpCmd(App()).Run();
            return;
        case IDC_LOAD:
            if (MayRun(false))
                m_lastOutcome = App().ShowImageDialog() == ui::IDOK ? Outcome::Done : Outcome::Refused;
            return;
        case IDC_STATUS:
            if (MayRun(false)) m_lastOutcome = CStatesCmd(App()).Run();
            return;
        case IDC_SETTING:
            if (MayRun(false)) m_lastOutcome = RunSetting();
            return;
        case IDC_VERSION:
            if (MayRun(false)) m_lastOutcome = CVersionCmd(App()).Run();
            return;
        case IDC_ERASE:
        case IDC_EPR: {
            if (!MayRun(true)) return;
            CPreEraseDlg confirm;
            if (confirm.DoModal(Ui()) != ui::IDOK) {
                m_lastOutcome = Outcome::Cancelled;
                return;
            }
            if (id == IDC_ERASE)
                m_lastOutcome = CEraseCmd(App()).Run();
            else
                m_lastOutcome = CEPRCmd(App()).Run();
            return;
        }
        case IDC_BLANK:
            if (MayRun(true)) m_lastOutcome = CBlankCmd(App()).Run();
            return;
        case IDC_PROGRAM:
            if (MayRun(true)) m_lastOutcome = CProgramCmd(App()).Run();
            return;
        case IDC_READ:
            if (MayRun(true)) m_lastOutcome = CReadCmd(App()).Run();
            return;
        case IDC_BPR:
            if (MayRun(true)) m_lastOutcome = CBPRCmd(App()).Run();
            return;
        case IDC_DOWNLOAD:
            if (MayRun(true)) m_lastOutcome = CDownloadCmd(App()).Run();
            return;
        default:
            return;
    }
}

void CPelicanDlg::OnCancel() {
    // The close step would take the port from under the running command.
    if (m_running) return;
    App().CloseStep();
    EndDialog(ui::IDCANCEL);
}

}  // namespace pelican
