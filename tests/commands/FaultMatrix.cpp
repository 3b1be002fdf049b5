#include "commands/FaultMatrix.h"

#include <algorithm>

#include "app/FirstSetDlg.h"
#include "commands/DownloadDlg.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"
#include "commands/IDCheckDlg.h"
#include "commands/SetCommDlg.h"
#include "protocol/Protocol.h"

namespace pelican::test {
namespace {

// A user who keeps pressing OK in "Set baudrate" gives up after this many
// messages, so that a link that never comes back still ends the run.
constexpr size_t kPatience = 12;
// "Status..." presses after the cell before the status window must be open:
// the first may find the board still quiet and run the recovery.
constexpr int kFollowUps = 2;
constexpr uint32_t kEraseMs = 100;
constexpr uint32_t kReactionMs = 1000;

sim::SimFaults FaultsFor(const MatrixRow& exchange, Fault fault, unsigned occurrence) {
    const sim::SimTrigger at{exchange.target.code, occurrence};
    // The reply's own time on the wire at 9600 bps, with its command's, and
    // the erase's busy time before its status goes out.
    uint32_t wire = static_cast<uint32_t>((exchange.replyLength + 3) * 11 / 10 + 1);
    if (exchange.timeout == protocol::kTimeoutEraseAll) wire += kEraseMs;
    sim::SimFaults faults;
    switch (fault) {
        case Fault::Silence: faults.silentFrom = at; break;
        case Fault::WrongByte:
            faults.wrongReply = at;
            faults.wrongIndex = exchange.wrongIndex;
            faults.wrongValue = exchange.wrongValue;
            break;
        case Fault::ShortReply: faults.shortReply = at; break;
        // The read that waits for the reply may start up to 70 ms (the last
        // pauses of a synchronisation) after the command went out.
        case Fault::LateOut:
            faults.lateReply = at;
            faults.lateMs = static_cast<uint32_t>(exchange.timeout) + 100;
            break;
        case Fault::LateIn:
            faults.lateReply = at;
            faults.lateMs = static_cast<uint32_t>(exchange.timeout) - wire - 10;
            break;
        case Fault::LineError: faults.lineError = at; break;
        case Fault::Unplug: faults.unplug = at; break;
    }
    return faults;
}

// Answers the command's dialogs as a user who wants the command to run.
void AnswerDialogs(CMemoryBench& bench, bool& gaveUp) {
    auto base = bench.m_ui.m_onIdle;
    bench.m_ui.m_onIdle = [&bench, &gaveUp, base](ui::CDialog& dialog) {
        auto& ui = bench.m_ui;
        const int id = dialog.Template().id;
        if (id == CSetCommDlg::IDD) {
            gaveUp = gaveUp || ui.m_messages.size() > kPatience;
            ui.Press(id, gaveUp ? ui::IDCANCEL : ui::IDOK);
        } else if (id == CSetAddressDlg::IDD) {
            // A boot program for the boot-loader target lies in the first pages.
            const bool boot = bench.m_target == 1;
            ui.SetText(id, CSetAddressDlg::IDC_START, boot ? "0" : "C0000");
            ui.SetText(id, CSetAddressDlg::IDC_END, boot ? "FF" : "C00FF");
            ui.Press(id, ui::IDOK);
        } else if (id == CFirstSetDlg::IDD || id == CPreEraseDlg::IDD || id == CPreWriteDlg::IDD || id == CDownloadDlg::IDD ||
                   id == CStatesDlg::IDD || id == CVersionDlg::IDD) {
            ui.Press(id, ui::IDOK);
        } else if (id == CIDCheckDlg::IDD && bench.m_started) {
            ui.FileOpenAnswer(bench.m_dir.File("prog.mot"));
            ui.Press(id, CIDCheckDlg::IDC_REFER);
            ui.Press(id, ui::IDOK);
        } else {
            base(dialog);
        }
    };
}

// After the cell the user presses "Status..." until the status window opens
// (or gives up), then Exit. Records what the cell left and what each
// follow-up press did.
class CFollowUp {
public:
    CFollowUp(CMemoryBench& bench, const MatrixRow& exchange, CellResult& result, uint64_t start)
        : m_bench(bench), m_exchange(exchange), m_result(result), m_start(start) {}

    // The cell starts with the button press.
    void StartAt(uint64_t start) { m_start = start; }

    // At the main window with nothing scripted; true when it pressed.
    bool Next(ui::CDialog& mainWindow) {
        if (m_exchange.atExit || m_done) return false;
        auto& board = m_bench.m_sim.Board();
        if (m_presses == 0) {
            // The cell is over: what it left behind.
            m_result.outcome = static_cast<CPelicanDlg&>(mainWindow).LastOutcome();
            m_result.elapsedMs = m_bench.m_sim.Clock().NowMs() - m_start;
            m_result.messages = m_bench.Messages();
            m_result.dialogs = m_bench.m_ui.m_shownDialogs;
            m_result.versionText = m_bench.m_ui.m_lastTexts[CVersionDlg::IDD][CVersionDlg::IDC_VERSION];
            m_result.linkReady = m_bench.m_app->m_linkReady == 1;
            m_result.boardBaud = board.BaudRate();
            m_result.frames = board.Frames();
            // The fault was one event; a board it silenced stays silent until
            // the user is told to RESET it.
            board.SetFaults(sim::SimFaults{});
        } else {
            const auto& shown = m_bench.m_ui.m_shownDialogs;
            if (std::find(shown.begin(), shown.end(), CStatesDlg::IDD) != shown.end()) {
                m_result.followUps = m_presses;
                m_result.followUpBytes = m_bench.m_sim.Received();
                m_result.followUpMessages = m_bench.Messages();
                m_result.followUpReady = m_bench.m_ui.m_lastTexts[CStatesDlg::IDD][CStatesDlg::IDC_READY];
                m_done = true;
            }
        }
        if (m_done || m_presses == kFollowUps) {
            m_done = true;
            m_bench.m_ui.ClearRecords();
            return false;
        }
        // The user reads what the window shows before pressing on.
        m_bench.m_sim.Clock().Sleep(kReactionMs);
        ++m_presses;
        m_bench.m_sim.ClearReceived();
        m_bench.m_ui.ClearRecords();
        m_bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_STATUS);
        return true;
    }

private:
    CMemoryBench& m_bench;
    const MatrixRow& m_exchange;
    CellResult& m_result;
    uint64_t m_start;
    int m_presses = 0;
    bool m_done = false;
};

}  // namespace

unsigned Locate(const std::vector<sim::SimFrame>& frames, const Target& target) {
    bool armed = target.after == 0;
    unsigned count = 0, seen = 0, found = 0;
    for (const auto& frame : frames) {
        if (frame.bytes.empty()) continue;
        const uint8_t code = frame.bytes[0];
        if (code == target.code) {
            ++count;
            if (armed && (target.last || ++seen == target.nth)) {
                found = count;
                if (!target.last) break;
            }
        }
        if (code == target.after) armed = true;
    }
    return found;
}

CellResult RunCell(const MatrixRow& exchange, std::optional<Fault> fault, unsigned occurrence) {
    sim::BoardConfig config;
    config.eraseMs = kEraseMs;
    if (exchange.startUp && fault) config.faults = FaultsFor(exchange, *fault, occurrence);
    CMemoryBench bench(config);
    bench.m_resetOnPushReset = true;
    auto& board = bench.m_sim.Board();
    // The user told to push RESET also plugs the cable back in.
    const auto reset = bench.m_app->m_resetBoard;
    bench.m_app->m_resetBoard = [&board, reset] {
        const bool done = reset();
        board.Replug();
        return done;
    };
    bool gaveUp = false;
    AnswerDialogs(bench, gaveUp);
    if (exchange.prepare) exchange.prepare(bench);

    CellResult result;
    const uint64_t start = bench.m_sim.Clock().NowMs();
    CFollowUp followUp(bench, exchange, result, start);
    auto answer = bench.m_ui.m_onIdle;
    bench.m_ui.m_onIdle = [&](ui::CDialog& dialog) {
        const bool atMain = dialog.Template().id == CPelicanDlg::IDD && bench.m_started && !bench.m_exited &&
                            bench.m_ui.ScriptDone();
        if (atMain && followUp.Next(dialog)) return;
        answer(dialog);
    };

    if (exchange.startUp) {
        bench.StoreRate(115200);
        bench.SelectProgram("COM1", bench.m_target);
        // The start-up is over when the main window first has nothing to do.
        bench.Run([&] { bench.m_ui.m_onIdle(*bench.m_ui.ActiveDialog()); });
    } else {
        bench.Press([&] {
            followUp.StartAt(bench.m_pressedAt);
            if (fault) board.SetFaults(FaultsFor(exchange, *fault, occurrence));
            exchange.press(bench);
        });
    }
    if (exchange.atExit) {
        result.elapsedMs = bench.m_sim.Clock().NowMs() - (exchange.startUp ? start : bench.m_pressedAt);
        result.messages = bench.Messages();
        result.dialogs = bench.m_ui.m_shownDialogs;
        result.frames = board.Frames();
        result.linkReady = bench.m_app->m_linkReady == 1;
        result.boardBaud = board.BaudRate();
    } else {
        result.exitMessages = bench.Messages();
    }

    // The next run on the same board and settings, the faults gone; a
    // board that went quiet is reset by the user first.
    board.SetFaults(sim::SimFaults{});
    if (board.Silent() || board.Unplugged()) {
        board.Replug();
        board.Reset();
    }
    bench.m_app.reset();
    bench.m_app = std::make_unique<CPelicanApp>(bench.m_sim.MakeDevice("COM1"), bench.m_sim.Clock());
    bench.m_app->m_resetBoard = [&board] {  // the user, as in the run before
        board.Reset();
        board.Replug();
        return true;
    };
    bench.m_started = bench.m_exited = false;
    bench.m_ui.ClearRecords();
    bench.SelectProgram("COM1", bench.m_target);
    bench.Run();
    result.nextRun = bench.Messages();
    result.nextLinkReady = bench.m_app->m_linkReady == 1;
    return result;
}

}  // namespace pelican::test
