// Every exchange the program makes against every fault the line or the board
// can show. In each cell the program must end within its time-outs, show the
// message for that failure, never report success after it, and leave a link
// that the next run reaches. The matrix is printed as it is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "commands/FaultMatrix.h"

namespace pelican::test {
namespace {

constexpr const char* kTimeout = "Timeout.\nPush RESET.";
constexpr const char* kCommError = "Communication error.\nPush RESET.";
// Whatever the recovery and the close step add, on top of the exchange's own
// time-out and the clean run's time.
constexpr uint64_t kRecoveryBudgetMs = 12000;

const Fault kFaults[] = {Fault::Silence, Fault::WrongByte, Fault::ShortReply, Fault::LateOut,
                         Fault::LateIn,  Fault::LineError, Fault::Unplug};

bool IsPushReset(const std::string& text) {
    return text == kTimeout || text == kCommError;
}

bool IsSuccessText(const std::string& text) {
    return text == "Erase OK." || text == "Program OK." || text == "Download Completed.";
}

std::string Short(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    if (text.size() > 22) text = text.substr(0, 21) + "~";
    return text;
}

// What a cell shows in the printed matrix: its first message (or "ok" when
// none), the command's outcome, and "+R" when the next run needed a RESET.
std::string Describe(const CellResult& cell, bool startUp) {
    std::string text = cell.messages.empty() ? "ok" : Short(cell.messages.front().first);
    if (!startUp) text += std::string(" /") + OutcomeName(cell.outcome);
    if (!cell.nextRun.empty()) text += " +R";
    return text;
}

void CheckCell(const MatrixRow& exchange, Fault fault, const CellResult& clean, const CellResult& cell) {
    SCOPED_TRACE(std::string(exchange.name) + " / " + FaultName(fault));
    // Ends within the time-outs.
    // A failed exchange may be followed by one more that fails the same way
    // (the confirming echo of a rate the board no longer hears).
    EXPECT_LE(cell.elapsedMs, clean.elapsedMs + 2 * static_cast<uint64_t>(exchange.timeout) + kRecoveryBudgetMs);
    // The next run reaches the board: at most one recovery, after which the
    // link is up.
    EXPECT_TRUE(cell.nextLinkReady);
    EXPECT_LE(cell.nextRun.size(), 1u);

    const bool harmless = fault == Fault::LateIn || (fault == Fault::WrongByte && exchange.wrongHarmless);
    if (harmless) {
        EXPECT_EQ(cell.messages, clean.messages);
        EXPECT_EQ(cell.outcome, clean.outcome);
        EXPECT_TRUE(cell.nextRun.empty());
        return;
    }
    const char* expected = fault == Fault::WrongByte ? exchange.wrongText
                           : fault == Fault::LineError || fault == Fault::Unplug ? exchange.brokenText
                                                                                 : exchange.missingText;
    for (const auto& message : cell.messages) EXPECT_FALSE(IsSuccessText(message.first)) << message.first;
    if (!exchange.startUp && exchange.outcomeTells) {
        EXPECT_NE(cell.outcome, Outcome::Done);
    }
    if (expected == nullptr && exchange.failureDialog != 0) {
        // The start-up offers "Set baudrate" instead of a message.
        EXPECT_NE(std::find(cell.dialogs.begin(), cell.dialogs.end(), exchange.failureDialog), cell.dialogs.end());
        return;
    }
    if (expected == nullptr) {
        // The version read tells of a missing answer in its own dialog and
        // runs no recovery.
        EXPECT_EQ(cell.versionText, "ERROR");
        for (const auto& message : cell.messages) EXPECT_FALSE(IsPushReset(message.first)) << message.first;
        return;
    }
    ASSERT_FALSE(cell.messages.empty());
    EXPECT_EQ(cell.messages.front().first, expected);
}

TEST(FaultMatrix, EveryExchangeAgainstEveryFault) {
    std::printf("\n%-20s", "exchange");
    for (Fault fault : kFaults) std::printf(" | %-28s", FaultName(fault));
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
            std::string text = Describe(cell, exchange.startUp);
            text.resize(28, ' ');
            line += " | " + text;
            CheckCell(exchange, fault, clean, cell);
        }
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
}

}  // namespace
}  // namespace pelican::test
