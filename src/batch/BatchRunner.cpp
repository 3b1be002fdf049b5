#include "batch/BatchRunner.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include <iostream>
#include <map>

#include "app/FirstSetDlg.h"
#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "batch/DumpAction.h"
#include "batch/JsonLine.h"
#include "batch/PortLock.h"
#include "commands/CheckMemorryCmd.h"
#include "commands/DownloadDlg.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/SetAddressDlg.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"
#include "image/IDCheckDlg.h"
#include "image/SelectDlg.h"
#include "link/SetCommDlg.h"
#include "ui/Messages.h"

namespace pelican {
namespace {

// Ctrl-C: the first cancels the running page loop (or stops pressing further
// buttons); the second ends the program after the link is back at 9600 bps.
std::atomic<int> g_interrupts{0};

void OnInterrupt(int) {
    g_interrupts.fetch_add(1);
}

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

// The bytes a read check compares over a range: those of the image that
// are not FF.
size_t ComparedBytes(const CMotFile& image, uint32_t start, uint32_t end) {
    size_t count = 0;
    uint8_t page[CCheckMemorryCmd::kPageSize];
    for (uint64_t address = start; address < end; address += CCheckMemorryCmd::kPageSize) {
        if (image.GetPage(page, static_cast<uint32_t>(address / CCheckMemorryCmd::kPageSize)) == nullptr) continue;
        for (const uint8_t byte : page) count += byte != 0xFF ? 1 : 0;
    }
    return count;
}

}  // namespace

CBatchRunner::CBatchRunner(CPelicanApp& app, const BatchOptions& options)
    : m_app(app), m_options(options) {
    // "01:02:03:04:05:06:07" → the seven texts typed into the ID fields; the
    // dialog itself judges whether they are hexadecimal.
    std::string rest = m_options.id;
    for (size_t i = 0; i < m_idBytes.size() && !rest.empty(); ++i) {
        const size_t colon = rest.find(':');
        m_idBytes[i] = rest.substr(0, colon);
        rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    }
    m_interactive = ::isatty(STDIN_FILENO) != 0;
    // A raw binary file starts at the flash start of the MCU type unless told otherwise.
    constexpr uint32_t kOrcaWFlashStart = 0xF00000;
    m_app.m_image.SetBinaryOffset(m_options.offset >= 0 ? static_cast<uint32_t>(m_options.offset)
                                  : m_options.mcu == "w" ? kOrcaWFlashStart
                                                         : CMotFile::kDefaultBinaryOffset);
    m_answers = {
        {CS_PrgDlg::IDD, [this](ui::CDialog& d) { AnswerSelectProgram(d); }},
        {CFirstSetDlg::IDD, [this](ui::CDialog& d) { Answer(d, ui::IDOK); }},
        {CSetCommDlg::IDD, [this](ui::CDialog& d) { AnswerSetBaudrate(d); }},
        {CPreEraseDlg::IDD, [this](ui::CDialog& d) { AnswerErase(d); }},
        {CDownloadDlg::IDD, [this](ui::CDialog& d) { AnswerDownload(d); }},
        {CPreWriteDlg::IDD, [this](ui::CDialog& d) { AnswerProgramNextArea(d); }},
        {CSetAddressDlg::IDD, [this](ui::CDialog& d) { AnswerInputAddress(d); }},
        {CStatesDlg::IDD, [this](ui::CDialog& d) { PrintStatus(d); }},
        {CVersionDlg::IDD, [this](ui::CDialog& d) { PrintVersion(d); }},
        {CIDCheckDlg::IDD, [this](ui::CDialog& d) { AnswerIdCheck(d); }},
        {CSelectDlg::IDD, [this](ui::CDialog& d) { AnswerFileSelect(d); }},
        {CPelicanDlg::IDD, [this](ui::CDialog& d) { PressNextButton(static_cast<CPelicanDlg&>(d)); }},
    };
    m_backend.m_onIdle = [this](ui::CDialog& dialog) { OnIdle(dialog); };
    m_backend.m_onMessage = [this](const ui::MessageRecord& message) { OnMessage(message); };
    m_backend.m_onPump = [this] { CheckInterrupt(); };
    m_showProgress = ::isatty(STDERR_FILENO) != 0;
    m_report = [](const std::string& text) { std::cerr << "pelican: " << text << '\n'; };
    m_backend.m_onProgress = [this](const std::string& title, int low, int high, int pos, int moves) {
        if (!m_showProgress) return;
        std::cerr << '\r' << ProgressLine(title, low, high, pos, moves) << std::flush;
        m_barShown = true;
    };
    // The bar's line ends when its window goes, however the loop ended.
    if (m_options.json) {
        CCheckMemorryCmd::OnPhaseEnded() = [this](const CCheckMemorryCmd::PhaseRecord& phase) {
            Print(CJsonLine("phase")
                      .Add("action", m_action)
                      .Add("title", phase.title)
                      .Add("start", CCheckMemorryCmd::AddressToHex(phase.start))
                      .Add("end", CCheckMemorryCmd::AddressToHex(phase.end))
                      .Add("outcome", OutcomeName(phase.outcome))
                      .Add("ms", static_cast<int64_t>(phase.milliseconds))
                      .Text());
        };
    }
    m_backend.m_onModelessClosed = [this] {
        if (m_barShown) std::cerr << '\n' << std::flush;
        m_barShown = false;
    };
}

std::string CBatchRunner::ProgressLine(const std::string& title, int low, int high, int pos, int pages) {
    constexpr int kWidth = 30;
    const int span = high > low ? high - low : 0;
    int percent = span == 0 ? 100 : (pos - low) * 100 / span;
    percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    const int filled = percent * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '.');
    char tail[48];
    std::snprintf(tail, sizeof tail, "] %3d%%  %d page%s", percent, pages, pages == 1 ? "" : "s");
    return title + " [" + bar + tail;
}

void CBatchRunner::CheckInterrupt() {
    const int interrupts = g_interrupts.load();
    if (interrupts >= 2) {
        std::cerr << "\nInterrupted: returning the link to 9600 bps.\n";
        m_app.SetLink9600(m_app.m_port);
        m_app.m_port.Close();
        if (m_options.json) Print(CJsonLine("exit").Add("status", int64_t{130}).Add("outcome", "interrupted").Text());
        std::_Exit(130);
    }
    if (interrupts == 1 && !m_cancelSent) {
        m_cancelSent = true;
        // The progress window's Cancel, at this pump when called from one.
        // Before the first pump of the run (a Ctrl-C while a dialog is
        // answered) 0 would arm nothing: the next pump then.
        m_backend.CancelProgressAtPump(m_backend.m_pumps == 0 ? 1 : 0);
    }
}

CBatchRunner::~CBatchRunner() {
    if (m_options.json) CCheckMemorryCmd::OnPhaseEnded() = nullptr;
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
    Print(m_options.json
              ? CJsonLine("message").Add("icon", ui::IconWord(message.icon)).Add("text", message.text).Text()
              : MessageLine(message));
    ++m_messagesInAction;
    if (m_exitPressed) m_exitFailed = true;  // only the return to 9600 bps speaks after Exit
    if (ui::IsPushResetText(message.text)) {
        ++m_resetsInAction;
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
    CheckInterrupt();
    const int id = dialog.Template().id;
    // A dialog that refused its input and stays open gets Cancel, never a
    // second try; what was asked of it did not happen.
    const int showing = m_backend.CurrentShowing();
    if (id != CPelicanDlg::IDD && !m_answered.insert(showing).second) {
        m_failed = true;
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
    // A second recovery within one action means the board does not come
    // back: give up instead of looping.
    if (m_resetsInAction >= 2) {
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
    m_rangeStart = dialog.GetItemText(CSetAddressDlg::IDC_START);
    m_rangeEnd = dialog.GetItemText(CSetAddressDlg::IDC_END);
    if (!m_options.range.empty()) {
        const size_t dash = m_options.range.find('-');
        m_rangeStart = m_options.range.substr(0, dash);
        m_rangeEnd = dash == std::string::npos ? std::string() : m_options.range.substr(dash + 1);
        m_backend.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, m_rangeStart);
        m_backend.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, m_rangeEnd);
    }
    Answer(dialog, ui::IDOK);
}

void CBatchRunner::PrintStatus(ui::CDialog& dialog) {
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
    CJsonLine json("status");
    for (const auto& [control, label] : kFields) {
        if (m_options.json)
            json.Add(label, dialog.GetItemText(control));
        else
            Print(std::string(label) + ": " + dialog.GetItemText(control));
    }
    if (m_options.json) Print(json.Text());
    Answer(dialog, ui::IDOK);
}

void CBatchRunner::PrintVersion(ui::CDialog& dialog) {
    Print(m_options.json ? CJsonLine("version").Add("text", dialog.GetItemText(CVersionDlg::IDC_VERSION)).Text()
                         : "Version: " + dialog.GetItemText(CVersionDlg::IDC_VERSION));
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
    if (m_options.file.empty()) {
        m_backend.Press(id, ui::IDCANCEL);
        return;
    }
    if (m_options.id.empty()) {
        // As a user would: "Refer..." loads the file and reads its ".id" file.
        m_backend.FileOpenAnswer(m_options.file);
        m_backend.Press(id, CIDCheckDlg::IDC_REFER);
    } else {
        m_backend.SetText(id, CIDCheckDlg::IDC_FILEPATH, m_options.file);
        for (size_t i = 0; i < 7; ++i)
            m_backend.SetText(id, CIDCheckDlg::IDC_ID1 + static_cast<int>(i), m_idBytes[i]);
    }
    if (m_options.mcu == "sp") m_backend.SetCheck(id, CIDCheckDlg::IDC_ORCA_SP);
    if (m_options.mcu == "w") m_backend.SetCheck(id, CIDCheckDlg::IDC_ORCA_W);
    m_backend.Press(id, ui::IDOK);
}

void CBatchRunner::Report(const std::string& text) {
    if (m_options.json)
        Print(CJsonLine("report").Add("text", text).Text());
    else if (m_report)
        m_report(text);
}

void CBatchRunner::ReportLink() {
    CSerialCommState state;
    m_app.m_port.GetState(state);
    if (state.m_baudRate != m_reportedRate || m_app.m_linkReady != m_reportedReady) {
        Report(m_app.m_linkReady ? "link up at " + std::to_string(state.m_baudRate) + " bps"
                                 : std::string("no link to the board"));
        m_reportedRate = state.m_baudRate;
        m_reportedReady = m_app.m_linkReady;
    }
}

void CBatchRunner::PressNextButton(CPelicanDlg& mainWindow) {
    // The button pressed last has finished: its outcome, not the messages it
    // showed, says whether it did what was asked.
    if (m_actionPressed) {
        m_actionPressed = false;
        if (mainWindow.LastOutcome() != Outcome::Done) m_failed = true;
        if (mainWindow.LastOutcome() == Outcome::LinkLost) m_linkLost = true;
        ReportAction(mainWindow.LastOutcome());
    }
    m_resetsInAction = 0;
    m_messagesInAction = 0;
    ReportLink();
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
    if (g_interrupts.load() > 0) m_nextAction = m_options.actions.size();
    // A program file refused as a whole leaves nothing to act on: no
    // further button is pressed on an empty image.
    if (m_app.m_image.LoadRefused() && m_nextAction < m_options.actions.size()) {
        Report(m_options.file + " was refused; no further action runs");
        m_failed = true;
        m_nextAction = m_options.actions.size();
    }
    if (m_nextAction < m_options.actions.size() && m_app.m_linkReady) {
        m_action = m_options.actions[m_nextAction++];
        m_actionPressed = true;
        PressAction(mainWindow);
        return;
    }
    if (m_nextAction < m_options.actions.size()) {
        // Without a link every button is refused; press the rest anyway so
        // that each reports, as the window would.
        m_action = m_options.actions[m_nextAction++];
        m_actionPressed = true;
        PressAction(mainWindow);
        return;
    }
    m_exitPressed = true;
    m_backend.Press(mainWindow.Template().id, ui::IDCANCEL);
}

void CBatchRunner::PressAction(CPelicanDlg& mainWindow) {
    if (m_action != "dump") {
        m_backend.Press(CPelicanDlg::IDD, ActionButtons().at(m_action));
        return;
    }
    // No button saves the flash: the main window runs it directly, and its
    // outcome is taken like a button's.
    uint32_t start = 0;
    uint32_t end = 0;
    if (CDumpAction::Range(m_options, start, end)) {
        mainWindow.SaveFlash(start, end, m_options.output);
    } else {
        m_actionPressed = false;
        m_failed = true;
    }
    // Nothing was pressed: go on at once, as after a button.
    PressNextButton(mainWindow);
}

void CBatchRunner::ReportAction(Outcome outcome) {
    if (m_action == "dump" && outcome == Outcome::Done) {
        uint32_t start = 0;
        uint32_t end = 0;
        CDumpAction::Range(m_options, start, end);
        Report(CCheckMemorryCmd::AddressToHex(start) + "-" + CCheckMemorryCmd::AddressToHex(end) + " saved to " +
               m_options.output);
    }
    // A blank range shows no message at all: say which range was checked.
    if (m_action == "blank" && outcome == Outcome::Done) {
        uint32_t start = 0;
        uint32_t end = 0;
        CCheckMemorryCmd::PageRange(m_rangeStart, m_rangeEnd, start, end);
        Report(CCheckMemorryCmd::AddressToHex(start) + "-" + CCheckMemorryCmd::AddressToHex(end) + " is blank");
    }
    // The boot loader answered with a second byte that means neither taken
    // nor refused: the window program shows nothing then.
    if (m_action == "download" && outcome == Outcome::Done && m_messagesInAction == 0)
        Report("the board answered the download with neither \"completed\" nor \"not completed\"");
    // Nor does a read check without a difference: say what was compared.
    if (m_action == "read" && outcome == Outcome::Done) {
        uint32_t start = 0;
        uint32_t end = 0;
        CCheckMemorryCmd::PageRange(m_rangeStart, m_rangeEnd, start, end);
        const size_t compared = ComparedBytes(m_app.m_image, start, end);
        Report(CCheckMemorryCmd::AddressToHex(start) + "-" + CCheckMemorryCmd::AddressToHex(end) +
               " matches the file (" + std::to_string(compared) + " byte" + (compared == 1 ? "" : "s") +
               " of data compared)");
    }
}

int CBatchRunner::Run() {
    const int status = RunAll();
    if (m_options.json) {
        static const char* const kEnds[] = {"ok", "failed", "usage", "link lost", "port in use"};
        Print(CJsonLine("exit")
                  .Add("status", static_cast<int64_t>(status))
                  .Add("outcome", status == 130 ? "interrupted" : status <= kExitPortInUse ? kEnds[status] : "failed")
                  .Text());
    }
    return status;
}

int CBatchRunner::RunAll() {
    // One run per board, not per machine: the port is locked, not the program.
    m_app.m_singleInstance = false;
    if (!m_portLock.Acquire(m_options.port)) {
        Report(m_options.port + " is in use by another batch run; nothing was sent");
        return kExitPortInUse;
    }
    g_interrupts = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ::sigaction(SIGINT, &action, &previous);
    ui::SetBackend(&m_backend);
    Report("port " + m_options.port);
    m_app.InitInstance();
    ui::SetBackend(nullptr);
    ::sigaction(SIGINT, &previous, nullptr);
    if (m_exitPressed)
        Report(m_exitFailed ? "the board did not confirm 9600 bps; port closed" : "link returned to 9600 bps; port closed");
    if (g_interrupts.load() > 0) return 130;
    // No link to the board, or an action lost it (the board was reset and
    // has forgotten its ID check even when the link came back).
    if (!m_app.m_linkReady || m_linkLost) return 3;
    if (!m_exitPressed) return 1;       // start-up ended early
    return m_failed ? 1 : 0;
}

}  // namespace pelican
