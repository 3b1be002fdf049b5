#include "station/BatchRunner.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <iostream>
#include <map>

#include "app/FirstSetDlg.h"
#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "station/JsonLine.h"
#include "link/Exchange.h"
#include "link/PortLock.h"
#include "protocol/Protocol.h"
#include "lifecycle/SignalStop.h"
#include "commands/CheckMemorryCmd.h"
#include "commands/DownloadDlg.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/SetAddressDlg.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"
#include "commands/IDCheckDlg.h"
#include "image/FlashFileWriter.h"
#include "image/IdFile.h"
#include "commands/SelectDlg.h"
#include "link/PortOpenError.h"
#include "commands/SetCommDlg.h"
#include "sys/Terminal.h"
#include "sys/Text.h"
#include "ui/Messages.h"

namespace pelican {
namespace {

// Where a raw binary file starts without --offset: the flash start of the
// MCU type that --mcu names, or that the ".id" file beside it names.
uint32_t BinaryOffset(const BatchOptions& options) {
    if (options.offset >= 0) return static_cast<uint32_t>(options.offset);
    bool orcaW = options.mcu == "w";
    std::string idPath;
    if (options.mcu.empty() && CIdFile::PathFor(options.file, idPath)) CIdFile::NamesOrcaW(idPath, orcaW);
    return protocol::McuMapOf(orcaW ? 1 : 0).flashStart;
}

}  // namespace

CBatchRunner::CBatchRunner(CPelicanApp& app, const BatchOptions& options)
    : m_signalEnding(app, [this](const std::string& text) { Report(text); }),
      m_boardReset(options.reset, options.runAfter, [this](const std::string& text) { Report(text); }),
      m_printer(*this, options.json),
      m_boardRecord(m_options, app.m_port.Clock(), [this](const event::Report& report) { Emit(report); }),
      m_app(app),
      m_options(options) {
    // "01:02:03:04:05:06:07" → the seven texts typed into the ID fields; the
    // dialog itself judges whether they are hexadecimal.
    std::string rest = m_options.id;
    for (size_t i = 0; i < m_answered.idBytes.size() && !rest.empty(); ++i) {
        const size_t colon = rest.find(':');
        m_answered.idBytes[i] = rest.substr(0, colon);
        rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    }
    m_questions.m_interactive = IsTerminal(StandardStream::Input);
    m_questions.m_beforePrompt = [this] { Emit(event::Asking{}); };
    m_survey = [] { return SurveyPorts(); };
    m_app.m_image.SetBinaryOffset(BinaryOffset(m_options));
    // The window program's stored choice is not batch mode's: only the
    // command line sets it, and a run leaves the file's as it is.
    m_app.m_pageChoiceStored = false;
    m_app.m_skipEmptyPages = m_options.skipEmptyPages;
    // The ID Check's notes name --id as the way to give the board's ID.
    m_app.Session().idEntry = IdEntry::CommandLine;
    m_app.m_retries.SetLimit(m_options.retries);
    m_app.m_resetBoard = [this] { return ResetForRecovery(); };
    // The board's page loops, retries and the application's notes come
    // here, and go out as the run's events.
    m_app.Session().events = this;
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
    // The board's dialogs and messages are answered by this run's script.
    m_app.SetUi(&m_backend);
    m_backend.m_onIdle = [this](ui::CDialog& dialog) { OnIdle(dialog); };
    m_backend.m_onMessage = [this](const ui::MessageRecord& message) { OnMessage(message); };
    m_backend.m_onPump = [this] { AtSafePoint(); };
    m_signalEnding.m_beforeExit = [this](int status) {
        m_standing.closeFailed = status == kExitNoLink;
        // The board's record is kept however the run ends.
        WriteRecord(status);
        PrintExit(status);
    };
    m_backend.m_onProgress = [this](const std::string& title, int, int, int, int moves) {
        Emit(event::PhaseMoved{title, moves, m_phase.pages, m_app.m_port.Clock().NowMs() - m_phase.beganMs});
    };
}

void CBatchRunner::PhaseBegun(const PhaseRecord& phase) {
    m_phase.beganMs = m_app.m_port.Clock().NowMs();
    m_phase.pages = phase.pages;
    Emit(event::PhaseBegun{m_job.action, phase});
}

void CBatchRunner::PhaseEnded(const PhaseRecord& phase) {
    Emit(event::PhaseEnded{m_job.action, phase, m_phase.pages});
}

void CBatchRunner::Note(const std::string& text) {
    Report(text);
}

void CBatchRunner::AtSafePoint() {
    m_signalEnding.AtSafePoint();
    if (CSignalStop::Interrupts() == 1 && !m_job.cancelSent && !m_line.finishOnInterrupt) {
        m_job.cancelSent = true;
        // The progress window's Cancel, at this pump when called from one.
        // Before the first pump of the run (a Ctrl-C while a dialog is
        // answered) 0 would arm nothing: the next pump then.
        m_backend.CancelProgressAtPump(m_backend.m_pumps == 0 ? 1 : 0);
    }
}

void CBatchRunner::InWait() {
    // The first Ctrl-C cancels the page loop at its next point between
    // pages: the program interval it came in is cut short to get there.
    if (CSignalStop::Interrupts() == 1 && !m_line.finishOnInterrupt) m_app.m_port.CutPause();
    m_signalEnding.InWait();
}

CBatchRunner::~CBatchRunner() {
    m_app.m_resetBoard = nullptr;
    m_app.Session().events = nullptr;
    m_app.SetUi(nullptr);
}

void CBatchRunner::Emit(const event::RunEvent& event) {
    m_printer.OnEvent(event);
    m_boardRecord.OnEvent(event);
    for (IRunListener* listener : m_listeners) listener->OnEvent(event);
}

bool CBatchRunner::AskOnTerminal(const std::string& question) {
    if (!m_questions.m_interactive) {
        // A script that left the answer out is told why nothing happened.
        Report("\"" + question + "\" was answered Cancel: standard input is not a terminal to ask on; --yes answers OK");
        return false;
    }
    std::string answer;
    if (!Ask(question + " [y/N] ", answer)) return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

bool CBatchRunner::Ask(const std::string& question, std::string& answer) {
    // The terminal echoes the Enter that ends the answer when standard
    // error is that terminal.
    const bool answered = m_questions.Ask(question, answer, m_printer.m_showProgress);
    // Ctrl-C typed at a question is its answer: the run stops there, as a
    // single run does, even where a first Ctrl-C would let the board finish.
    if (!answered && CSignalStop::Interrupts() > 0) m_line.finishOnInterrupt = false;
    return answered;
}

void CBatchRunner::OnMessage(const ui::MessageRecord& message) {
    Emit(event::Message{message.icon, message.text});
    ++m_job.messagesInAction;
}

void CBatchRunner::Report(const std::string& text) {
    Emit(event::Report{text});
}

bool CBatchRunner::OutputWritable() {
    // Minutes of page reads must not end in a file that cannot be made:
    // told before the port is opened.
    const bool dumps = std::find(m_options.actions.begin(), m_options.actions.end(), "dump") != m_options.actions.end();
    std::string error;
    if (!dumps || CFlashFileWriter::CheckFolder(m_options.output, error)) return true;
    ui::MessageBox(m_backend, m_options.output + ui::LoadString(ui::IDS_SAVE_FOLDER) + error + ".", ui::Icon::Exclamation);
    return false;
}

void CBatchRunner::OutputLost(const std::string& why) {
    if (m_standing.outputLost) return;
    m_standing.outputLost = true;
    m_standing.outputError = why;
}

int CBatchRunner::Run() {
    int status = RunAll();
    if (m_standing.outputLost) {
        // Said on standard error whatever --json says: the output is gone.
        Emit(event::Report{"standard output could not be written: " + m_standing.outputError, true});
        if (status == kExitDone) status = kExitFailed;
    }
    status = WriteRecord(status);
    PrintExit(status);
    return status;
}

int CBatchRunner::RunAll() {
    if (!OutputWritable()) return kExitFailed;
    if (const int refused = m_boardRecord.Open(); refused != kExitDone) return refused;
    m_app.m_image.SetVerifyChecksums(!m_options.ignoreChecksums);
    if (!FileAndRangeUsable()) return kExitFailed;
    if (!ResolvePort()) return kExitNoLink;
    TellRetriesWithoutReset();
    if (m_line.ownsSignals) CSignalStop::Install();
    // Every end of a read is a point between exchanges.
    m_app.m_port.SetReadEndHook([this] { AtSafePoint(); });
    m_app.m_endWhenPortFails = true;
    // One run per board, not per machine: the port is locked, not the program.
    m_app.m_lockName = PortLockName(m_options.port);
    m_app.m_lockedPort = m_options.port;
    // A board wired for it is put into boot mode before the first exchange.
    if (m_boardReset.ByWire()) m_app.m_onPortOpened = [this] { m_boardReset.ResetByWire(m_app.m_port); };
    // The application is started while the port is still open: opening it
    // again would move DTR and RTS on its own.
    if (m_boardReset.WantsRunAfter()) m_app.m_beforeClose = [this] { RunAfter(); };
    // A board that does not answer at start-up is told in one line.
    m_app.m_firstContact = this;
    m_app.InitInstance();
    m_app.m_firstContact = nullptr;
    m_app.m_port.SetReadEndHook(nullptr);
    if (m_line.ownsSignals) CSignalStop::Uninstall();
    switch (m_app.m_startup) {
        case CPelicanApp::Startup::AlreadyRunning: return kExitAlreadyRunning;
        case CPelicanApp::Startup::PortHeld: return kExitPortHeld;
        case CPelicanApp::Startup::LockFolderUnusable: return kExitNoLock;
        case CPelicanApp::Startup::PortUnusable:
            // Said once, with the reason: there is no board to reset.
            Report(DescribePortOpenError(m_options.port, m_app.m_port.OpenError()));
            ReportPortNotes();
            return kExitNoLink;
        case CPelicanApp::Startup::NoAnswer: return kExitNoLink;  // told by NoAnswer or StoredRateLost
        case CPelicanApp::Startup::Cancelled:
        case CPelicanApp::Startup::MainWindow: break;
    }
    const bool notAt9600 = m_app.m_closed == CPelicanApp::Closed::NotConfirmed;
    // A port that failed under the run is no rate the board did not take.
    m_standing.portWentAway = notAt9600 && m_app.m_port.DeviceFailed();
    if (m_standing.portWentAway)
        Report(PortWentAwayText());
    else if (m_app.m_closed != CPelicanApp::Closed::NotYet)
        Report(notAt9600 ? std::string("the board did not confirm 9600 bps: ") + CSignalEnding::kNeedsReset
                         : std::string("link returned to 9600 bps; port closed"));
    // The next run starts at 9600 bps and cannot reach a board left at
    // another rate: whatever the actions did, the link was not recovered.
    if (notAt9600) m_standing.closeFailed = true;
    return Verdict();
}

int CBatchRunner::Verdict() const {
    if (m_app.m_closed == CPelicanApp::Closed::NotConfirmed) return kExitNoLink;
    // A signal that came while the link was already on its way back to
    // 9600 bps (the close step) found nothing left to do, but ends the run.
    if (const int ending = CSignalStop::EndingSignal(); ending != 0) return kExitSignalBase + ending;
    if (CSignalStop::Interrupts() > 0 && !m_line.finishOnInterrupt) return kExitSignalBase + SIGINT;
    // No link to the board, or an action lost it (the board was reset and
    // has forgotten its ID check even when the link came back).
    if (!m_app.m_linkReady || m_standing.linkLost) return kExitNoLink;
    if (!m_job.exitPressed) return kExitFailed;  // start-up ended early
    return m_standing.failed || m_standing.outputLost ? kExitFailed : kExitDone;
}

void CBatchRunner::RunAfter() {
    // Only a board whose every action ended well is started: a half
    // programmed one stays in boot mode for the next try.
    if (Verdict() != kExitDone) return;
    if (!m_boardReset.RunAfter(m_app.m_port)) m_standing.failed = true;
}

int CBatchRunner::WriteRecord(int status) {
    return m_boardRecord.Write(status, ExitOutcome(status), m_app.m_port.Clock().NowMs());
}

}  // namespace pelican
