// "Blank..." against the simulated board: the page reads on the wire, the
// bar, the messages with their icons, how it ended and what it left behind.
#include <gtest/gtest.h>

#include "commands/MemoryBench.h"

namespace pelican::test {
namespace {

using ui::Icon;

const Messages kTooLarge = {{"Too large address.\nThe highest address is FFFFFF.", Icon::Exclamation}};

TEST(Blank, RangesAndHowTheyEnd) {
    const struct {
        const char* name;
        std::string start, end;  // as typed into "Input Address"
        uint32_t first, pages;   // the pages read
        Messages messages;
        Outcome outcome;
        int cancelAtPump;
        std::pair<int, int> lastMove;  // the bar's upper end and last position
    } cases[] = {
        {"blank range", "C0000", "C01FF", 0x0C0000, 2, {}, Outcome::Done, 0, {0, 0}},
        {"not blank in the second page", "0C0000", "0C01FF", 0x0C0000, 2,
         {{"Find not blank at address\r0C0105", Icon::None}}, Outcome::Failed, 0, {0, 0}},
        {"one page", "C0010", "C0020", 0x0C0000, 1, {}, Outcome::Done, 0, {0, 0}},
        {"either case; other characters count as 0", "C00ZZ", "c00ff", 0x0C0000, 1, {}, Outcome::Done, 0, {0, 0}},
        {"64 KB", "C0000", "CFFFF", 0x0C0000, 256, {}, Outcome::Done, 0, {130, 130}},
        {"cancel after the first page", "C0000", "C03FF", 0x0C0000, 1, {}, Outcome::Cancelled, 1, {1, 0}},
        {"the last page of the address space", "FFFF00", "FFFFFF", 0xFFFF00, 1, {}, Outcome::Done, 0, {0, 0}},
        {"end past FFFFFF", "C0000", "1000000", 0, 0, kTooLarge, Outcome::Refused, 0, {}},
        {"start past FFFFFF", "1000000", "10001FF", 0, 0, kTooLarge, Outcome::Refused, 0, {}},
        {"nine digits that would wrap to 0C0000", "1000C0000", "1000C01FF", 0, 0, kTooLarge, Outcome::Refused, 0, {}},
        {"end at the top of 32 bits", "C0000", "FFFFFFFF", 0, 0, kTooLarge, Outcome::Refused, 0, {}},
        {"start not below end", "D0000", "CFFFF", 0, 0, {{"Too small start address.", Icon::Exclamation}},
         Outcome::Refused, 0, {}},
        {"empty end", "C0000", "", 0, 0, {}, Outcome::Cancelled, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryBench bench;
        if (c.outcome == Outcome::Failed) bench.m_sim.Board().Poke(0x0C0105, {0x7F});
        const Bytes bytes = bench.Blank(c.start, c.end, [&] {
            if (c.cancelAtPump != 0) bench.m_ui.CancelProgressAtPump(c.cancelAtPump);
        });
        Bytes expected = kProbe;
        for (uint32_t i = 0; i < c.pages; ++i) expected = Cat({expected, PageRead(c.first + i * 0x100)});
        EXPECT_EQ(bytes, Cat({expected, kCloseStep}));
        EXPECT_EQ(bench.Messages(), c.messages);
        EXPECT_EQ(bench.m_lastOutcome, c.outcome);
        // A bar move for every page read but one that stopped the check.
        EXPECT_EQ(bench.m_bar.size(), c.pages - (c.outcome == Outcome::Failed ? 1 : 0));
        if (!bench.m_bar.empty()) {
            EXPECT_EQ(bench.m_bar.back(), c.lastMove);
        }
        EXPECT_TRUE(AtRest(bench));
        EXPECT_TRUE(bench.m_ui.m_problems.empty());
    }
}

TEST(Blank, TheHandSetPageReadTimeOut) {
    // The first page comes 10 s late. A usable "pageread" decides whether
    // that is waited for; 0, a negative value or text leave the standing
    // 5 s, never an endless wait.
    // From the press: 9 ms of line time at 9600 bps (the probe's status
    // read, the page read's frame), then the time-out in force.
    const std::tuple<const char*, bool, uint64_t> cases[] = {
        {"20000", true, 0}, {"3000", false, 3009}, {"0", false, 5009}, {"-5", false, 5009}, {"abc", false, 5009},
    };
    for (const auto& [value, waited, timedOutAt] : cases) {
        SCOPED_TRACE(value);
        sim::BoardConfig config;
        config.faults.lateReply = {0xFF, 1};
        config.faults.lateMs = 10000;
        CMemoryBench bench(config);
        bench.WriteSettings(std::string("[timeout]\npageread=") + value + "\n");
        bench.Blank("C0000", "C00FF", [&] {
            if (!waited) bench.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL);
        });
        // Without the reply the recovery has run, and the check ends there.
        EXPECT_EQ(bench.m_lastOutcome, waited ? Outcome::Done : Outcome::LinkLost);
        if (!waited) {
            EXPECT_EQ(bench.m_messageTimes.at(0) - bench.m_pressedAt, timedOutAt);
        }
        EXPECT_TRUE(AtRest(bench));
    }
}

}  // namespace
}  // namespace pelican::test
