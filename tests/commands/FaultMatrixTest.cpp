// Every exchange the program makes against every fault the line or the board
// can show. In each cell the program must end within its time-outs, show the
// message for that failure with its icon, never report success after it, and
// leave a link on which the next "Status..." press works (at once, or after
// the one recovery its probe runs when the board was left silent), and that
// the next run reaches. The matrix is printed as it is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "commands/FaultMatrix.h"

namespace pelican::test {
namespace {

constexpr const char* kTimeout = "Timeout.\nPush RESET.";
constexpr const char* kCommError = "Communication error.\nPush RESET.";
// Whatever the recovery and the close step add, on top of the exchange's own
// time-out and the clean run's time.
constexpr uint64_t kRecoveryBudgetMs = 12000;
constexpr size_t kColumn = 37;

const Fault kFaults[] = {Fault::Silence, Fault::WrongByte, Fault::ShortReply, Fault::LateOut,
                         Fault::LateIn,  Fault::LineError, Fault::Unplug};

bool IsPushReset(const std::string& text) {
    return text == kTimeout || text == kCommError;
}

// What to check, told once after the first "Push RESET." of a start-up
// whose synchronisation went unanswered.
bool IsFirstContactAdvice(const std::string& text) {
    for (const char* start : {"No answer from the board on COM1 at 9600 bps.\n", "The board on COM1 answered the "
                              "synchronisation at 9600 bps with ", "The port COM1 could not be used.\n"})
        if (text.rfind(start, 0) == 0) return true;
    return false;
}

bool IsRecoveryText(const std::string& text) {
    return IsPushReset(text) || IsFirstContactAdvice(text);
}

bool IsSuccessText(const std::string& text) {
    return text == "Erase OK." || text == "Program OK." || text == "Download Completed.";
}

// The matrix's short names for the long messages.
std::string Short(const std::string& text) {
    static const std::map<std::string, std::string> names = {
        {kTimeout, "TIMEOUT"},
        {kCommError, "COMM-ERR"},
        {"Can not set last baudrate.\nBaudrate is 9600bps now.", "LAST-RATE"},
        {"Can not set new baudrate.\nBaudrate is last baudrate now.", "NEW-RATE"},
        {"Can not set baudrate to 9600bps.", "NOT-9600"},
        {"Download not completed.\nPlease retry Download.", "DL-NOT-DONE"},
        {"Find not blank at address\r0C0000", "NOT-BLANK"},
        {"Find not match at address\r0C0000", "NOT-MATCH"},
    };
    const auto named = names.find(text);
    return named != names.end() ? named->second : text;
}

// What a cell shows in the printed matrix: its first message and, after a
// recovery, the command's own last one (or the window that told of the
// failure, or "-" when nothing was said); the command's outcome; how many
// "Status..." presses the link needed afterwards; "+R" when the next run
// needed a RESET.
std::string Describe(const MatrixRow& exchange, const CellResult& cell) {
    std::string text;
    if (!cell.messages.empty()) {
        text = Short(cell.messages.front().first);
        if (cell.messages.size() > 1 && exchange.afterRecovery) text += "," + Short(cell.messages.back().first);
    } else if (exchange.failureDialog != 0 &&
               std::count(cell.dialogs.begin(), cell.dialogs.end(), exchange.failureDialog) > 0) {
        text = "<set comm.>";
    } else if (cell.versionText == "ERROR") {
        text = "<ERROR>";
    } else {
        text = "-";
    }
    if (!exchange.startUp) text += std::string(" /") + OutcomeName(cell.outcome);
    if (!exchange.atExit) text += " S" + std::to_string(cell.followUps);
    if (!cell.nextRun.empty()) text += " +R";
    return text;
}

void CheckCell(const MatrixRow& exchange, Fault fault, const CellResult& clean, const CellResult& cell) {
    SCOPED_TRACE(std::string(exchange.name) + " / " + FaultName(fault));
    // Ends within the time-outs.
    // A failed exchange may be followed by one more that fails the same way
    // (the confirming echo of a rate the board no longer hears).
    EXPECT_LE(cell.elapsedMs, clean.elapsedMs + 2 * static_cast<uint64_t>(exchange.timeout) + kRecoveryBudgetMs);

    if (!exchange.atExit) {
        // The next command works: "Status..." probes and reads the status,
        // nothing else, and opens the status window; only a board left
        // silent by an exchange that runs no recovery costs one press more.
        EXPECT_GE(cell.followUps, 1);
        EXPECT_EQ(cell.followUpBytes, (Bytes{0x70, 0x70}));
        EXPECT_TRUE(cell.followUpMessages.empty());
        EXPECT_EQ(cell.followUpReady, "Ready");
        EXPECT_TRUE(cell.exitMessages.empty());
        EXPECT_TRUE(cell.nextRun.empty());
        const bool recovered = std::any_of(cell.messages.begin(), cell.messages.end(),
                                           [](const auto& message) { return IsPushReset(message.first); });
        if (recovered || fault == Fault::LateIn) {
            EXPECT_EQ(cell.followUps, 1);
        }
    } else {
        // The close step left the board where it failed; the next start
        // reaches it, at worst after one RESET.
        EXPECT_LE(std::count_if(cell.nextRun.begin(), cell.nextRun.end(),
                                [](const auto& message) { return !IsFirstContactAdvice(message.first); }),
                  1);
    }
    EXPECT_TRUE(cell.nextLinkReady);

    const bool harmless = fault == Fault::LateIn || (fault == Fault::WrongByte && exchange.wrongHarmless);
    if (harmless) {
        EXPECT_EQ(cell.messages, clean.messages);
        EXPECT_EQ(cell.outcome, clean.outcome);
        return;
    }
    for (const auto& message : cell.messages) EXPECT_FALSE(IsSuccessText(message.first)) << message.first;
    if (!exchange.startUp && exchange.outcomeTells) {
        EXPECT_NE(cell.outcome, Outcome::Done);
    }
    const char* expected = fault == Fault::WrongByte ? exchange.wrongText
                           : fault == Fault::LineError || fault == Fault::Unplug ? exchange.brokenText
                                                                                 : exchange.missingText;
    if (expected == nullptr && exchange.failureDialog != 0) {
        // The start-up offers "Set baudrate" instead of a message.
        EXPECT_NE(std::find(cell.dialogs.begin(), cell.dialogs.end(), exchange.failureDialog), cell.dialogs.end());
        return;
    }
    if (expected == nullptr) {
        // The version read tells of a missing answer in its own window and
        // runs no recovery.
        EXPECT_EQ(cell.versionText, "ERROR");
        EXPECT_TRUE(cell.messages.empty());
        return;
    }
    ASSERT_FALSE(cell.messages.empty());
    const ui::Icon icon = IsPushReset(expected) ? ui::Icon::Stop : exchange.icon;
    EXPECT_EQ(cell.messages.front(), std::make_pair(std::string(expected), icon));
    if (IsPushReset(expected)) {
        // After the recovery only its own messages, and the command's own
        // failure when a status read counts as one.
        for (size_t i = 1; i + 1 < cell.messages.size(); ++i)
            EXPECT_TRUE(IsRecoveryText(cell.messages[i].first)) << cell.messages[i].first;
        if (exchange.afterRecovery) {
            EXPECT_EQ(cell.messages.back(), std::make_pair(std::string(exchange.afterRecovery), ui::Icon::Stop));
        } else {
            EXPECT_TRUE(IsRecoveryText(cell.messages.back().first)) << cell.messages.back().first;
        }
    }
}

TEST(FaultMatrix, EveryExchangeAgainstEveryFault) {
    std::printf("\n%-20s", "exchange");
    for (Fault fault : kFaults) std::printf(" | %-*s", static_cast<int>(kColumn), FaultName(fault));
    std::printf("\n");
    for (const MatrixRow& exchange : MatrixRows()) {
        const CellResult clean = RunCell(exchange, std::nullopt, 0);
        const unsigned occurrence = Locate(clean.frames, exchange.target);
        std::string codes;
        for (const auto& frame : clean.frames) codes += " " + std::to_string(frame.bytes.empty() ? -1 : frame.bytes[0]);
        for (const auto& message : clean.messages) codes += " [" + message.first + "]";
        for (int dialog : clean.dialogs) codes += " <" + std::to_string(dialog) + ">";
        ASSERT_NE(occurrence, 0u) << exchange.name << ": frames" << codes;
        // The clean run succeeds without a word of failure.
        for (const auto& message : clean.messages) EXPECT_NE(message.second, ui::Icon::Stop) << exchange.name;
        if (!exchange.startUp) {
            EXPECT_EQ(clean.outcome, Outcome::Done) << exchange.name;
        }
        EXPECT_TRUE(clean.nextRun.empty()) << exchange.name;

        std::string line = exchange.name;
        line.resize(20, ' ');
        for (Fault fault : kFaults) {
            const CellResult cell = RunCell(exchange, fault, occurrence);
            std::string text = Describe(exchange, cell);
            text.resize(kColumn, ' ');
            line += " | " + text;
            CheckCell(exchange, fault, clean, cell);
        }
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    std::printf("S<n>: \"Status...\" presses until the status window opened; +R: the next start needed a RESET.\n"
                "TIMEOUT, COMM-ERR: the recovery's \"Timeout.\" / \"Communication error.\" \"Push RESET.\" (stop);\n"
                "LAST-RATE, NEW-RATE: \"Can not set last/new baudrate.\" (warning); NOT-9600: \"Can not set baudrate\n"
                "to 9600bps.\" (warning after the change, stop after the echo); DL-NOT-DONE: \"Download not\n"
                "completed.\" (exclamation); NOT-BLANK, NOT-MATCH: \"Find not blank/match at address\" 0C0000;\n"
                "<set comm.>: \"Set communication state first.\"; <ERROR>: the version window shows ERROR.\n");
}

}  // namespace
}  // namespace pelican::test
