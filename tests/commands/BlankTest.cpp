// "Blank..." against the simulated board: the page reads on the wire, the
// progress bar, the messages with their icons, how the command ended and
// what it left behind.
#include <gtest/gtest.h>

#include "commands/MemoryBench.h"
#include "ui/ProgressDlg.h"

namespace pelican::test {
namespace {

using ui::Icon;

constexpr const char* kTooLarge = "Too large address.\nThe highest address is FFFFFF.";

std::vector<uint32_t> Pages(uint32_t first, uint32_t last) {
    std::vector<uint32_t> pages;
    for (uint32_t page = first; page <= last; page += 0x100) pages.push_back(page);
    return pages;
}

struct BlankCase {
    const char* name;
    std::string start, end;       // as typed into "Input Address"
    std::vector<uint32_t> reads;  // pages read, in order
    Messages messages;
    Outcome outcome;
    int cancelAtPump = 0;
    // The bar: its upper end and its last position (none when no window).
    std::optional<BarMove> lastMove = std::nullopt;
};

TEST(Blank, RangesAndHowTheyEnd) {
    const BlankCase cases[] = {
        {"blank range", "C0000", "C01FF", {0x0C0000, 0x0C0100}, {}, Outcome::Done, 0, BarMove{0, 0}},
        {"not blank in the second page", "0C0000", "0C01FF", {0x0C0000, 0x0C0100},
         {{"Find not blank at address\r0C0105", Icon::None}}, Outcome::Failed, 0, BarMove{0, 0}},
        {"one page", "C0010", "C0020", {0x0C0000}, {}, Outcome::Done, 0, BarMove{0, 0}},
        {"letters either case, other characters as 0", "C00ZZ", "c00ff", {0x0C0000}, {}, Outcome::Done, 0,
         BarMove{0, 0}},
        {"64 KB: the bar runs to 130", "C0000", "CFFFF", Pages(0x0C0000, 0x0CFF00), {}, Outcome::Done, 0,
         BarMove{130, 130}},
        {"cancel after the first page", "C0000", "C03FF", {0x0C0000}, {}, Outcome::Cancelled, 1, BarMove{1, 0}},
        {"the last page of the address space", "FFFF00", "FFFFFF", {0xFFFF00}, {}, Outcome::Done, 0,
         BarMove{0, 0}},
        {"end past FFFFFF", "C0000", "1000000", {}, {{kTooLarge, Icon::Exclamation}}, Outcome::Refused},
        {"start past FFFFFF", "1000000", "10001FF", {}, {{kTooLarge, Icon::Exclamation}}, Outcome::Refused},
        {"nine digits that would wrap to 0C0000", "1000C0000", "1000C01FF", {}, {{kTooLarge, Icon::Exclamation}},
         Outcome::Refused},
        {"end near the top of 32 bits", "C0000", "FFFFFFFF", {}, {{kTooLarge, Icon::Exclamation}},
         Outcome::Refused},
        {"start not below end", "D0000", "CFFFF", {}, {{"Too small start address.", Icon::Exclamation}},
         Outcome::Refused},
        {"empty end", "C0000", "", {}, {}, Outcome::Cancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryBench bench;
        if (c.outcome == Outcome::Failed) bench.m_sim.Board().Poke(0x0C0105, {0x7F});
        const Bytes bytes = bench.Press([&] {
            bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_BLANK);
            bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, c.start);
            bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, c.end);
            bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
            if (c.cancelAtPump != 0) bench.m_ui.CancelProgressAtPump(c.cancelAtPump);
        });
        Bytes expected = kProbe;
        for (uint32_t page : c.reads) expected = Cat({expected, PageRead(page)});
        EXPECT_EQ(bytes, Cat({expected, kCloseStep}));
        EXPECT_EQ(bench.Messages(), c.messages);
        EXPECT_EQ(bench.m_lastOutcome, c.outcome);

        const auto& shown = bench.m_ui.m_shownDialogs;
        const bool windowShown = std::find(shown.begin(), shown.end(), ui::CProgressDlg::IDD) != shown.end();
        EXPECT_EQ(windowShown, c.lastMove.has_value());
        if (c.lastMove) {
            ASSERT_FALSE(bench.m_bar.empty());
            EXPECT_EQ(bench.m_bar.back().high, c.lastMove->high);
            EXPECT_EQ(bench.m_bar.back().pos, c.lastMove->pos);
            // One move per page read, but for the page that stopped the check.
            EXPECT_EQ(bench.m_bar.size(), c.reads.size() - (c.outcome == Outcome::Failed ? 1 : 0));
        }
        EXPECT_TRUE(bench.m_ui.ModelessWindows().empty());
        EXPECT_TRUE(bench.m_mainEnabledAtExit);
        EXPECT_EQ(bench.m_app->m_port.ReadTimeout(), 5000);
        EXPECT_TRUE(bench.m_ui.m_problems.empty());
    }
}

TEST(Blank, APageReadWithoutReplyRunsTheRecoveryAndEnds) {
    sim::BoardConfig config;
    config.faults.silentFrom = {0xFF, 2};
    CMemoryBench bench(config);
    const Bytes bytes = bench.Press([&] {
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_BLANK);
        bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, "C0000");
        bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, "C03FF");
        bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
        bench.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL);
    });
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 7), Cat({kProbe, PageRead(0x0C0000), PageRead(0x0C0100)}));
    ASSERT_GE(bench.Messages().size(), 1u);
    EXPECT_EQ(bench.Messages()[0], std::make_pair(std::string("Timeout.\nPush RESET."), Icon::Stop));
    EXPECT_EQ(bench.m_lastOutcome, Outcome::LinkLost);
    EXPECT_EQ(bench.m_app->m_linkReady, 0);
    EXPECT_TRUE(bench.m_ui.ModelessWindows().empty());
    EXPECT_TRUE(bench.m_mainEnabledAtExit);
    EXPECT_EQ(bench.m_app->m_port.ReadTimeout(), 5000);
}

TEST(Blank, TheHandSetPageReadTimeOut) {
    // The first page's reply comes 10 s late. A usable "pageread" value
    // decides whether that is waited for; anything else leaves the standing
    // 5 s, never an endless wait.
    const std::pair<const char*, bool> cases[] = {
        {"20000", true}, {"3000", false}, {"0", false}, {"-5", false}, {"abc", false},
    };
    for (const auto& [value, waited] : cases) {
        SCOPED_TRACE(value);
        sim::BoardConfig config;
        config.faults.lateReply = {0xFF, 1};
        config.faults.lateMs = 10000;
        CMemoryBench bench(config);
        bench.WriteSettings(std::string("[timeout]\npageread=") + value + "\n");
        bench.Blank("C0000", "C00FF");
        if (waited) {
            EXPECT_TRUE(bench.Messages().empty());
            EXPECT_EQ(bench.m_lastOutcome, Outcome::Done);
        } else {
            ASSERT_FALSE(bench.Messages().empty());
            EXPECT_EQ(bench.Messages()[0].first, "Timeout.\nPush RESET.");
            const uint64_t waitedMs = bench.m_messageTimes[0] - bench.m_pressedAt;
            EXPECT_LT(waitedMs, std::string(value) == "3000" ? 3500u : 5500u);
        }
        EXPECT_EQ(bench.m_app->m_port.ReadTimeout(), 5000);
    }
}

}  // namespace
}  // namespace pelican::test
