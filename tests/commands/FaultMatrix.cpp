#include "commands/FaultMatrix.h"

#include <map>

#include "commands/DownloadDlg.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"
#include "image/IDCheckDlg.h"
#include "app/FirstSetDlg.h"
#include "link/SetCommDlg.h"
#include "protocol/Protocol.h"

namespace pelican::test {
namespace {

constexpr const char* kTimeout = "Timeout.\nPush RESET.";
constexpr const char* kCommError = "Communication error.\nPush RESET.";
constexpr const char* kLastRate = "Can not set last baudrate.\nBaudrate is 9600bps now.";
// The download's answer has its own message and no recovery.
constexpr const char* kNotCompleted = "Download not completed.\nPlease retry Download.";
constexpr const char* kNot9600 = "Can not set baudrate to 9600bps.";
// A user who keeps pressing OK in "Set baudrate" gives up after this many
// messages, so that a link that never comes back still ends the run.
constexpr size_t kPatience = 12;
constexpr uint32_t kEraseMs = 100;

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

void RunStartUp(CMemoryBench& bench) {
    bench.SelectProgram("COM1", bench.m_target);
    bench.Run();
}

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
    auto told = bench.m_ui.m_onMessage;
    bench.m_ui.m_onMessage = [&](const ui::MessageRecord& message) {
        told(message);
        if (ui::IsPushResetText(message.text)) board.Replug();
    };
    bool gaveUp = false;
    AnswerDialogs(bench, gaveUp);
    if (exchange.prepare) exchange.prepare(bench);

    CellResult result;
    if (exchange.startUp) {
        bench.StoreRate(115200);
        const uint64_t start = bench.m_sim.Clock().NowMs();
        RunStartUp(bench);
        result.elapsedMs = bench.m_sim.Clock().NowMs() - start;
        result.frames = board.Frames();
    } else {
        bench.Press([&] {
            if (fault) board.SetFaults(FaultsFor(exchange, *fault, occurrence));
            exchange.press(bench);
        });
        result.elapsedMs = bench.m_sim.Clock().NowMs() - bench.m_pressedAt;
        result.frames = board.Frames();
        result.outcome = bench.m_lastOutcome;
    }
    result.messages = bench.Messages();
    result.dialogs = bench.m_ui.m_shownDialogs;
    result.versionText = bench.m_ui.m_lastTexts[CVersionDlg::IDD][CVersionDlg::IDC_VERSION];
    result.linkReady = bench.m_app->m_linkReady == 1;
    result.boardBaud = board.BaudRate();
    result.needsReset = board.Silent() || board.Unplugged();

    // The next run on the same board and settings, the faults gone; a
    // board that went quiet is reset by the user first.
    board.SetFaults(sim::SimFaults{});
    if (result.needsReset) {
        board.Replug();
        board.Reset();
    }
    bench.m_app.reset();
    bench.m_app = std::make_unique<CPelicanApp>(bench.m_sim.MakeDevice("COM1"), bench.m_sim.Clock());
    bench.m_started = bench.m_exited = false;
    bench.m_ui.ClearRecords();
    RunStartUp(bench);
    result.nextRun = bench.Messages();
    result.nextLinkReady = bench.m_app->m_linkReady == 1;
    return result;
}

std::vector<MatrixRow> MatrixRows() {
    const auto press = [](int button) {
        return [button](CMemoryBench& bench) { bench.m_ui.Press(CPelicanDlg::IDD, button); };
    };
    // A page of program data, and its ".id" file for "Load (ID)...".
    const auto image = [](CMemoryBench& bench) { bench.LoadImage(S2(0x0C0000, {0x11, 0x22, 0x33})); };
    const auto idFiles = [](CMemoryBench& bench) {
        bench.m_dir.Write("prog.mot", S2(0x0C0000, {0x11}) + "S804000000FB\n");
        bench.m_dir.Write("prog.id", "FFFDF:01\nFFFE3:02\nFFFEB:03\nFFFEF:04\nFFFF3:05\nFFFF7:06\nFFFFB:07\n");
    };
    const auto imageOnBoard = [image](CMemoryBench& bench) {
        image(bench);
        bench.m_sim.Board().Poke(0x0C0000, {0x11, 0x22, 0x33});
    };
    const auto bootFile = [](CMemoryBench& bench) {
        bench.m_dir.Write("boot.mot", S2(0x000000, {0x11, 0x22}) + "S804000000FB\n");
        bench.m_target = 1;
        bench.m_selectFile = bench.m_dir.File("boot.mot");
    };
    const auto rejectedThenLoad = [](CMemoryBench& bench) {
        const uint8_t wrongId[] = {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 0, 0, 0, 0, 0, 0, 0};
        bench.m_sim.Board().Inject(wrongId, sizeof wrongId, bench.m_sim.Clock().NowMs());
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_LOAD);
    };
    const int32_t standing = 5000;
    std::vector<MatrixRow> rows = {
        {"start-up sync", true, nullptr, nullptr, {0x00, 1}, 1, standing, 0, 0x00, false, kTimeout,
         kCommError, kCommError},
        {"baud echo, old rate", true, nullptr, nullptr, {0xB0, 1}, 1, standing, 0, 0x00, false, kLastRate,
         kLastRate, kLastRate},
        {"baud echo, new code", true, nullptr, nullptr, {0xB4, 1}, 1, standing, 0, 0x00, false, kLastRate,
         kLastRate, kLastRate},
        {"baud echo, new rate", true, nullptr, nullptr, {0xB4, 2}, 1, standing, 0, 0x00, false, kTimeout,
         kCommError, kCommError},
        {"start-up status", true, nullptr, nullptr, {0x70, 1}, 2, standing, 1, 0x00, true, nullptr, nullptr,
         nullptr, CFirstSetDlg::IDD},
        {"probe", false, nullptr, press(CPelicanDlg::IDC_STATUS), {0x70, 1}, 2, standing, 0, 0x00, true,
         kTimeout, kCommError, nullptr},
        {"status read", false, nullptr, press(CPelicanDlg::IDC_STATUS), {0x70, 2}, 2, standing, 0, 0x00, true,
         kTimeout, kCommError, nullptr},
        {"version read", false, nullptr, press(CPelicanDlg::IDC_VERSION), {0xFB, 1}, 8, standing, 0, 0x00,
         true, nullptr, nullptr, nullptr},
        // A board whose ID check failed before; "Load (ID)..." probes, reads
        // the status, sends the ID and reads the status again.
        {"ID check", false, idFiles, rejectedThenLoad, {0x70, 3, 0xF5}, 2, standing, 1, 0x04,
         false, kTimeout, kCommError, "Not match ID.", 0, false},
        {"erase", false, nullptr, press(CPelicanDlg::IDC_ERASE), {0x70, 1, 0xA7}, 2, 40000, 0, 0xA0, false,
         kTimeout, kCommError, "Erase error."},
        {"blank check read", false, nullptr, press(CPelicanDlg::IDC_BLANK), {0xFF, 1}, 256, standing, 0,
         0x00, false, kTimeout, kCommError, "Find not blank at address\r0C0000"},
        {"read check read", false, imageOnBoard, press(CPelicanDlg::IDC_READ), {0xFF, 1}, 256, standing, 0, 0x00,
         false, kTimeout, kCommError, "Find not match at address\r0C0000"},
        {"E.P.R. erase", false, image, press(CPelicanDlg::IDC_EPR), {0x70, 1, 0xA7}, 2, 40000, 0, 0xA0, false,
         kTimeout, kCommError, "Erase error."},
        {"E.P.R. read phase", false, image, press(CPelicanDlg::IDC_EPR), {0xFF, 1}, 256, standing, 0, 0x00,
         false, kTimeout, kCommError, "Find not match at address\r0C0000"},
        {"B.P.R. blank phase", false, image, press(CPelicanDlg::IDC_BPR), {0xFF, 1}, 256, standing, 0, 0x00,
         false, kTimeout, kCommError, "Find not blank at address\r0C0000"},
        {"B.P.R. read phase", false, image, press(CPelicanDlg::IDC_BPR), {0xFF, 1, 0x41}, 256, standing, 0,
         0x00, false, kTimeout, kCommError, "Find not match at address\r0C0000"},
        {"page program status", false, image, press(CPelicanDlg::IDC_PROGRAM), {0x70, 1, 0x41}, 2, 150, 0,
         0x90, false, kTimeout, kCommError, "Program error."},
        {"final status", false, image, press(CPelicanDlg::IDC_PROGRAM), {0x70, 0, 0x41, true}, 2, standing, 0,
         0x90, false, kTimeout, kCommError, "Program error."},
        {"download reply", false, bootFile, press(CPelicanDlg::IDC_DOWNLOAD), {0xFA, 1}, 2, standing, 1, 0x01,
         false, kNotCompleted, kNotCompleted, kNotCompleted},
        {"close step, change", true, nullptr, nullptr, {0xB4, 3}, 1, standing, 0, 0x00, false, kNot9600,
         kNot9600, kNot9600},
        {"close step, echo", true, nullptr, nullptr, {0xB0, 0, 0, true}, 1, standing, 0, 0x00, false, kNot9600,
         kNot9600, kNot9600},
    };
    return rows;
}

}  // namespace pelican::test
