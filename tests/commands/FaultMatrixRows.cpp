// Every exchange the program makes, with the frame whose reply carries the
// fault and what the user must see when that reply fails.
#include "app/FirstSetDlg.h"
#include "commands/FaultMatrix.h"
#include "commands/SetCommDlg.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

constexpr const char* kTimeout = "Timeout.\nPush RESET.";
constexpr const char* kCommError = "Communication error.\nPush RESET.";
constexpr const char* kLastRate = "Can not set last baudrate.\nBaudrate is 9600bps now.";
constexpr const char* kNewRate = "Can not set new baudrate.\nBaudrate is last baudrate now.";
// The download's answer has its own message and no recovery.
constexpr const char* kNotCompleted = "Download not completed.\nPlease retry Download.";
constexpr const char* kNot9600 = "Can not set baudrate to 9600bps.";

}  // namespace

std::vector<MatrixRow> MatrixRows() {
    using ui::Icon;
    const auto press = [](int button) {
        return [button](CMemoryBench& bench) { bench.m_ui.Press(CPelicanDlg::IDD, button); };
    };
    // A page of program data, and its ".id" file for "Load (ID)...".
    const auto image = [](CMemoryBench& bench) { bench.LoadImage(S2(0x0C0000, {0x11, 0x22, 0x33})); };
    const auto idFiles = [](CMemoryBench& bench) {
        WriteProgramFiles(bench.m_dir, S2(0x0C0000, {0x11}) + "S804000000FB\n");
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
    // "Setting..." from the main window at 9600 bps, asking for 115200.
    const auto setting = [](CMemoryBench& bench) {
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_SETTING);
        bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_BAUDRATE, "115200");
        bench.m_ui.Press(CSetCommDlg::IDD, ui::IDOK);
    };
    // The recovery's two messages, for exchanges whose failure runs it.
    const auto recovering = [](MatrixRow row) {
        row.missingText = kTimeout;
        row.brokenText = kCommError;
        return row;
    };

    std::vector<MatrixRow> rows = {
        recovering({.name = "start-up sync", .startUp = true, .target = {0x00, 1}, .replyLength = 1,
                    .wrongText = kCommError}),
        {.name = "baud echo, old rate", .startUp = true, .target = {0xB0, 1}, .replyLength = 1,
         .missingText = kLastRate, .brokenText = kLastRate, .wrongText = kLastRate, .icon = Icon::Warning},
        {.name = "baud echo, new code", .startUp = true, .target = {0xB4, 1}, .replyLength = 1,
         .missingText = kLastRate, .brokenText = kLastRate, .wrongText = kLastRate, .icon = Icon::Warning},
        recovering({.name = "baud echo, new rate", .startUp = true, .target = {0xB4, 2}, .replyLength = 1,
                    .wrongText = kCommError}),
        // No answer offers "Set baudrate" first; what it says then is that
        // dialog's business.
        {.name = "start-up status", .startUp = true, .target = {0x70, 1}, .replyLength = 2, .wrongIndex = 1,
         .wrongHarmless = true, .failureDialog = CFirstSetDlg::IDD},
        recovering({.name = "probe", .press = press(CPelicanDlg::IDC_STATUS), .target = {0x70, 1},
                    .replyLength = 2, .wrongHarmless = true}),
        recovering({.name = "status read", .press = press(CPelicanDlg::IDC_STATUS), .target = {0x70, 2},
                    .replyLength = 2, .wrongHarmless = true}),
        // A missing version shows as "ERROR" in its own window.
        {.name = "version read", .press = press(CPelicanDlg::IDC_VERSION), .target = {0xFB, 1}, .replyLength = 8,
         .wrongHarmless = true},
        {.name = "setting, old rate", .press = setting, .target = {0xB0, 1}, .replyLength = 1, .missingText = kNewRate,
         .brokenText = kNewRate, .wrongText = kNewRate, .icon = Icon::Warning},
        {.name = "setting, new code", .press = setting, .target = {0xB4, 1}, .replyLength = 1, .missingText = kNewRate,
         .brokenText = kNewRate, .wrongText = kNewRate, .icon = Icon::Warning},
        recovering({.name = "setting, new rate", .press = setting, .target = {0xB4, 2}, .replyLength = 1,
                    .wrongText = kCommError}),
        // A board whose ID check failed before; "Load (ID)..." probes, reads
        // the status, sends the ID and reads the status again.
        recovering({.name = "ID check", .prepare = idFiles, .press = rejectedThenLoad, .target = {0x70, 3, 0xF5},
                    .replyLength = 2, .wrongIndex = 1, .wrongValue = 0x04, .wrongText = "Not match ID.",
                    .icon = Icon::Exclamation, .outcomeTells = false}),
        recovering({.name = "erase", .press = press(CPelicanDlg::IDC_ERASE), .target = {0x70, 1, 0xA7},
                    .replyLength = 2, .timeout = 40000, .wrongValue = 0xA0, .wrongText = "Erase error.",
                    .icon = Icon::Stop, .afterRecovery = "Erase error."}),
        recovering({.name = "blank check read", .press = press(CPelicanDlg::IDC_BLANK), .target = {0xFF, 1},
                    .replyLength = 256, .wrongText = "Find not blank at address\r0C0000"}),
        recovering({.name = "read check read", .prepare = imageOnBoard, .press = press(CPelicanDlg::IDC_READ),
                    .target = {0xFF, 1}, .replyLength = 256, .wrongText = "Find not match at address\r0C0000"}),
        recovering({.name = "E.P.R. erase", .prepare = image, .press = press(CPelicanDlg::IDC_EPR),
                    .target = {0x70, 1, 0xA7}, .replyLength = 2, .timeout = 40000, .wrongValue = 0xA0,
                    .wrongText = "Erase error.", .icon = Icon::Stop, .afterRecovery = "Erase error."}),
        recovering({.name = "E.P.R. read phase", .prepare = image, .press = press(CPelicanDlg::IDC_EPR),
                    .target = {0xFF, 1}, .replyLength = 256, .wrongText = "Find not match at address\r0C0000"}),
        recovering({.name = "B.P.R. blank phase", .prepare = image, .press = press(CPelicanDlg::IDC_BPR),
                    .target = {0xFF, 1}, .replyLength = 256, .wrongText = "Find not blank at address\r0C0000"}),
        recovering({.name = "B.P.R. read phase", .prepare = image, .press = press(CPelicanDlg::IDC_BPR),
                    .target = {0xFF, 1, 0x41}, .replyLength = 256,
                    .wrongText = "Find not match at address\r0C0000"}),
        recovering({.name = "page program status", .prepare = image, .press = press(CPelicanDlg::IDC_PROGRAM),
                    .target = {0x70, 1, 0x41}, .replyLength = 2, .timeout = 150, .wrongValue = 0x90,
                    .wrongText = "Program error.", .icon = Icon::Stop, .afterRecovery = "Program error."}),
        // In the combined runs a status that never came ends the run after
        // the recovery, without a read phase on the board it had reset.
        recovering({.name = "E.P.R. page status", .prepare = image, .press = press(CPelicanDlg::IDC_EPR),
                    .target = {0x70, 1, 0x41}, .replyLength = 2, .timeout = 150, .wrongValue = 0x90,
                    .wrongText = "Program error.", .icon = Icon::Stop, .afterRecovery = "Program error."}),
        recovering({.name = "B.P.R. page status", .prepare = image, .press = press(CPelicanDlg::IDC_BPR),
                    .target = {0x70, 1, 0x41}, .replyLength = 2, .timeout = 150, .wrongValue = 0x90,
                    .wrongText = "Program error.", .icon = Icon::Stop, .afterRecovery = "Program error."}),
        recovering({.name = "final status", .prepare = image, .press = press(CPelicanDlg::IDC_PROGRAM),
                    .target = {0x70, 0, 0x41, true}, .replyLength = 2, .wrongValue = 0x90,
                    .wrongText = "Program error.", .icon = Icon::Stop, .afterRecovery = "Program error."}),
        {.name = "download reply", .prepare = bootFile, .press = press(CPelicanDlg::IDC_DOWNLOAD),
         .target = {0xFA, 1}, .replyLength = 2, .wrongIndex = 1, .wrongValue = 0x01, .missingText = kNotCompleted,
         .brokenText = kNotCompleted, .wrongText = kNotCompleted, .icon = Icon::Exclamation},
        // The close step: the change back to 9600 bps, then its echo at 9600.
        {.name = "close step, change", .startUp = true, .target = {0xB4, 3}, .replyLength = 1,
         .missingText = kNot9600, .brokenText = kNot9600, .wrongText = kNot9600, .icon = Icon::Warning,
         .atExit = true},
        {.name = "close step, echo", .startUp = true, .target = {0xB0, 0, 0, true}, .replyLength = 1,
         .missingText = kNot9600, .brokenText = kNot9600, .wrongText = kNot9600, .icon = Icon::Stop,
         .atExit = true},
    };
    return rows;
}

}  // namespace pelican::test
