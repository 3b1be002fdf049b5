#pragma once
// Batch mode: the window program without windows. It runs the same start-up,
// presses the same main-window buttons and answers the same dialogs, from
// the command line's options, through the scripted back end. Messages,
// dialog contents, page loops and retries become events, which the printer
// shows as lines.
#include <array>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/FirstContact.h"
#include "commands/BoardEvents.h"
#include "commands/Outcome.h"
#include "link/PortInfo.h"
#include "lifecycle/SignalEnding.h"
#include "station/BatchOptions.h"
#include "station/BoardRecord.h"
#include "station/BoardReset.h"
#include "station/Questions.h"
#include "station/RunEvents.h"
#include "station/RunPrinter.h"
#include "ui/scripted/ScriptedBackend.h"

namespace pelican {

class CPelicanApp;
class CPelicanDlg;

class CBatchRunner : public IFirstContact, public IBoardEvents {
public:
    CBatchRunner(CPelicanApp& app, const BatchOptions& options);
    ~CBatchRunner() override;

    // Runs start-up, the actions and the close step; the exit status
    // (lifecycle/ExitStatus.h). A run locks its port, not the machine:
    // runs on other ports go side by side, one on a held port ends with
    // kExitPortHeld before anything is sent.
    int Run();
    // A point between exchanges with the board where a signal is acted on:
    // a first Ctrl-C cancels the page loop; a signal that ends the program
    // returns the link to 9600 bps, closes the port and exits 128 + signal
    // (3 when the board did not confirm 9600 bps). Called at every end of
    // a read, between pages and while a dialog waits for its answer.
    void AtSafePoint();
    // A wait inside an exchange (the port's waits, the clock's pauses): the
    // exchange goes on (see CSignalEnding).
    void InWait();
    // How a signal ends the run; tests replace its m_exit.
    CSignalEnding m_signalEnding;

    // How the board is reset and started: by wire, or by whoever presses
    // the simulated board's RESET after each "Push RESET." (m_onPress).
    CBoardReset m_boardReset;
    // Who answers the run's questions.
    CQuestions m_questions;
    // How the run is shown: lines on standard output and standard error,
    // a bar on a terminal. It hears every event first.
    CRunPrinter m_printer;
    // Hears every event of the run after the printer (not owned; it must
    // outlive the run).
    void Listen(IRunListener& listener) { m_listeners.push_back(&listener); }
    // Standard output was closed when the program started (its descriptor
    // now leads nowhere): the first line printed is lost.
    bool m_outputClosed = false;
    // A line could not be written to standard output (why: the system's
    // reason): no further action runs, and the run ends with status 1.
    void OutputLost(const std::string& why);
    bool OutputIsLost() const { return m_standing.outputLost; }
    // The port the run is on (as --port named it, or the one it stood for).
    const std::string& PortName() const { return m_options.port; }
    // The ports of the machine, looked at without opening them (to resolve
    // --port usb:... and serial:..., and to say why a port is not answering).
    std::function<PortSurvey()> m_survey;

    // The first contact with the board (IFirstContact): what start-up does
    // with a board that does not answer.
    bool NoAnswer(const SyncResult& result) override;
    void StoredRateRefused(uint32_t rate) override;
    bool StoredRateLost(uint32_t rate, bool taken) override;

    // What the board's session tells (IBoardEvents), told as the run's
    // events. A retry begins a new attempt, whose recovery may run again.
    void PhaseBegun(const PhaseRecord& phase) override;
    void PhaseEnded(const PhaseRecord& phase) override;
    void Retry(const RetryNote& note) override;
    void Note(const std::string& text) override;

    // The record of the board (--log) and its serial number; it hears
    // every event after the printer.
    CBoardRecord m_boardRecord;

    // The production line. Set by whoever drives several boards or one
    // board after another (CBoardStation):
    struct LineRole {
        // The signals are taken (and their notes forgotten) by this run;
        // false when the caller took them once for every board.
        bool ownsSignals = true;
        // A first Ctrl-C lets the board in hand finish its actions instead
        // of cancelling them (--loop: the run ends after this board).
        bool finishOnInterrupt = false;
        // A board that does not answer the first synchronisation is looked
        // for again by the caller (--wait): nobody is asked to reset it.
        bool looksAgainOnNoAnswer = false;
    };
    LineRole m_line;
    // Whether the board was left perhaps not at 9600 bps.
    bool LeftNotAt9600() const { return m_standing.closeFailed; }
    // Whether the board's port failed under the run (an adapter pulled out).
    bool PortWentAway() const { return m_standing.closeFailed && m_standing.portWentAway; }

private:
    int RunAll();
    // How the run stands once the main window has closed.
    int Verdict() const;
    // --run-after, on the open port of a run that ended well.
    void RunAfter();
    // Appends the board's record; the exit status it leaves (see
    // CBoardRecord::Write).
    int WriteRecord(int status);
    // The exit status in a word ("ok", "not at 9600 bps").
    std::string ExitOutcome(int status) const;
    // For dump: whether its file can be made; false with the message shown.
    bool OutputWritable();
    // The program file loaded whole and -r judged before the port is opened:
    // false with the message the dialogs would show.
    bool FileAndRangeUsable();
    void OnIdle(ui::CDialog& dialog);
    void OnMessage(const ui::MessageRecord& message);
    // One answer per dialog, by template id.
    void AnswerSelectProgram(ui::CDialog& dialog);
    void AnswerSetBaudrate(ui::CDialog& dialog);
    void AnswerErase(ui::CDialog& dialog);
    void AnswerDownload(ui::CDialog& dialog);
    void AnswerProgramNextArea(ui::CDialog& dialog);
    void AnswerInputAddress(ui::CDialog& dialog);
    void PrintStatus(ui::CDialog& dialog);
    void PrintVersion(ui::CDialog& dialog);
    void AnswerFileSelect(ui::CDialog& dialog);
    void AnswerIdCheck(ui::CDialog& dialog);
    void FinishIdCheck(ui::CDialog& dialog);
    void PressIdCheckOk(int id);
    void PressNextButton(CPelicanDlg& mainWindow);
    // Presses the button of m_job.action, or runs the action that has none.
    void PressAction(CPelicanDlg& mainWindow);
    // False, with the message shown, for an action that writes, compares or
    // sends the file when the image holds nothing.
    bool ImageHoldsData();
    // The closing line of --json: the exit status and its word.
    void PrintExit(int status);
    // What the action that just ended leaves to tell on standard error.
    void ReportAction(Outcome outcome);
    void Report(const std::string& text);
    void Emit(const event::RunEvent& event);
    // A recovery whose own baud-rate change failed goes once more while a
    // retry is left; false when none is, or nobody reset the board.
    bool RecoverAgain();
    // After "Push RESET.": resets the board by wire, asks a person at the
    // terminal, or presses the simulated board's RESET; true when the board
    // is known to have been reset.
    bool ResetForRecovery();
    // Whether anything here can reset the board (--reset, a person at the
    // terminal, the simulated board).
    bool CanResetBoard() const;
    // Says once, at the start, that --retries cannot resume after a failure
    // that needs a reset when nothing can reset the board.
    void TellRetriesWithoutReset();
    // Asks on the terminal to reset the board; true once it was (Enter).
    bool AskForReset(const std::string& question);
    // What --port names: the one present port a usb: or serial: name
    // stands for (false, told, when there is not exactly one).
    bool ResolvePort();
    // What stands in the way of the port: other programs holding it,
    // ModemManager, brltty.
    void ReportPortNotes();
    std::string NoAnswerText(const SyncResult& result) const;
    // The port failed under the run (an adapter pulled out): said so with
    // the system's reason, as an open of the port finds it now.
    std::string PortWentAwayText();
    void ReportLink();
    // -b that "Set baudrate" could not move the link to: what rate the run
    // goes on at, and the rates left to try.
    void ReportRateRefused();
    void Answer(ui::CDialog& dialog, int button);
    bool AskOnTerminal(const std::string& question);
    // Asks on the terminal and reads one line; false without an answer.
    // The prompt's line is ended whatever the answer.
    bool Ask(const std::string& question, std::string& answer);

    CPelicanApp& m_app;
    BatchOptions m_options;
    ui::CScriptedBackend m_backend;
    std::map<int, std::function<void(ui::CDialog&)>> m_answers;
    // What the job has done so far.
    struct JobProgress {
        size_t nextAction = 0;
        bool actionPressed = false;
        std::string action;  // the action pressed last
        bool boardBegun = false;
        bool settingDone = false;
        bool settingPressed = false;  // "Set baudrate" was answered with -b and -i
        bool exitPressed = false;
        bool cancelSent = false;  // a first Ctrl-C has cancelled the page loop
        int resetsInAction = 0;
        int messagesInAction = 0;  // message boxes the running action showed
        std::string dumpFile;  // the file this board's dump writes
    };
    // How the run stands.
    struct Standing {
        bool failed = false;
        bool linkLost = false;  // an action ended with the link lost
        bool outputLost = false;
        std::string outputError;
        // The run ends with the board perhaps not at 9600 bps (the close
        // step or a signal's return failed, or the board was left as it was).
        bool closeFailed = false;
        bool portWentAway = false;  // ... because its port failed under the run
    };
    // What the dialogs were answered with.
    struct Answered {
        // The texts "Input Address" was confirmed with last.
        std::string rangeStart;
        std::string rangeEnd;
        int referShowing = 0;  // the ID Check showing whose "Refer..." awaits its OK
        bool idRefused = false;  // an ID Check stayed open after its OK: no ID goes out again
        std::set<int> showings;  // showings already given their answer
        std::array<std::string, 7> idBytes;
    };
    // The page loop running now: when it began on the port's clock, and
    // how many pages it visits.
    struct PhaseInHand {
        uint64_t beganMs = 0;
        uint32_t pages = 0;
    };
    // The link as last told ("link up at 38400 bps").
    struct LinkTold {
        uint32_t rate = 0;
        int ready = -1;
    };
    JobProgress m_job;
    Standing m_standing;
    Answered m_answered;
    PhaseInHand m_phase;
    LinkTold m_linkTold;
    std::vector<IRunListener*> m_listeners;
};

}  // namespace pelican
