// "Program..." and "Read..." against the simulated board: the frames on the
// wire (FF pages, statuses, pauses), the messages with their icons, how each
// run ended and the time-out it left behind.
#include <gtest/gtest.h>

#include "commands/MemoryBench.h"
#include "commands/PreWriteDlg.h"
#include "commands/SetAddressDlg.h"
#include "ui/ProgressDlg.h"

namespace pelican::test {
namespace {

using ui::Icon;

const Bytes kFileBytes = {0x11, 0x22};  // the file's data, at 0C0000

// The dialogs of a run: "Input Address", "Program next area.", the progress window.
constexpr int kAsk = CSetAddressDlg::IDD;
constexpr int kConfirm = CPreWriteDlg::IDD;
const std::vector<int> kToTheEnd = {kAsk, kConfirm, ui::CProgressDlg::IDD};

TEST(Program, RangesFailuresAndCancel) {
    const struct {
        const char* name;
        std::string start, end;
        std::optional<uint32_t> failPage;  // the board's page that takes nothing
        int cancelAtPump;                  // 0: none
        bool confirm;                      // OK in "Program next area."
        uint32_t first, frames;            // the pages programmed
        bool lastChecked;                  // the last page sent got its status read
        std::vector<int> dialogs;          // shown from the press on, in order
        std::pair<std::string, std::string> confirmed;  // the texts of "Program next area."
        Messages messages;
        Outcome outcome;
    } cases[] = {
        {"a range wider than the file", "C0000", "C03FF", {}, 0, true, 0x0C0000, 4, true, kToTheEnd,
         {"0C0000", "0C03FF"}, {{"Program OK.", Icon::Information}}, Outcome::Done},
        {"the device fails the second page", "C0000", "C03FF", 0x0C0100, 0, true, 0x0C0000, 2, true, kToTheEnd,
         {"0C0000", "0C03FF"}, {{"Program error.", Icon::Stop}}, Outcome::Failed},
        {"cancel while the first page is sent", "C0000", "C03FF", {}, 1, true, 0x0C0000, 1, false, kToTheEnd,
         {"0C0000", "0C03FF"}, {{"Stop programming.", Icon::Information}}, Outcome::Cancelled},
        {"cancel in Program next area.", "C0000", "C03FF", {}, 0, false, 0, 0, false, {kAsk, kConfirm},
         {"0C0000", "0C03FF"}, {{"Stop programming.", Icon::None}}, Outcome::Cancelled},
        // No flash there on this board: the page fails, and the frame names it FF FF.
        {"the last page of the address space", "FFFF00", "FFFFFF", {}, 0, true, 0xFFFF00, 1, true, kToTheEnd,
         {"FFFF00", "FFFFFF"}, {{"Program error.", Icon::Stop}}, Outcome::Failed},
        {"start not below end", "C0100", "C00FF", {}, 0, true, 0, 0, false, {kAsk}, {},
         {{"Too small start address.", Icon::Exclamation}}, Outcome::Refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        config.faults.programFailPage = c.failPage;
        CMemoryBench bench(config);
        bench.LoadImage(S2(0x0C0000, kFileBytes));
        const Bytes bytes = bench.Ranged(CPelicanDlg::IDC_PROGRAM, c.start, c.end, [&] {
            if (c.outcome == Outcome::Refused) return;
            bench.m_ui.Press(CPreWriteDlg::IDD, c.confirm ? ui::IDOK : ui::IDCANCEL);
            if (c.cancelAtPump != 0) bench.m_ui.CancelProgressAtPump(c.cancelAtPump);
        });
        // Clear status once, then each page's frame and status; the last
        // status read decides the message.
        Bytes expected = kProbe;
        if (c.frames > 0) expected.push_back(0x50);
        for (uint32_t i = 0; i < c.frames; ++i) {
            const uint32_t page = c.first + i * 0x100;
            expected = Cat({expected, PageProgram(page, page == 0x0C0000 ? kFileBytes : Bytes{})});
            if (i + 1 < c.frames || c.lastChecked) expected.push_back(0x70);
        }
        if (c.lastChecked) expected.push_back(0x70);
        EXPECT_EQ(bytes, Cat({expected, kCloseStep}));
        EXPECT_EQ(bench.Messages(), c.messages);
        EXPECT_EQ(bench.m_lastOutcome, c.outcome);
        if (c.outcome == Outcome::Done) {
            EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 3), (std::vector<uint8_t>{0x11, 0x22, 0xFF}));
        }
        // "Input Address", then "Program next area." with the range as
        // address texts, then the progress window; every step was taken.
        EXPECT_EQ(bench.m_ui.m_shownDialogs, c.dialogs);
        EXPECT_TRUE(bench.m_ui.ScriptDone());
        if (!c.confirmed.first.empty()) {
            auto& shown = bench.m_ui.m_lastTexts[CPreWriteDlg::IDD];
            EXPECT_EQ(shown[CPreWriteDlg::IDC_START], c.confirmed.first);
            EXPECT_EQ(shown[CPreWriteDlg::IDC_END], c.confirmed.second);
        }
        EXPECT_TRUE(AtRest(bench));
        EXPECT_TRUE(bench.m_ui.m_problems.empty());
    }
}

TEST(Program, TheIntervalAfterEachPageStartsWhenTheFrameHasLeft) {
    for (const int interval : {40, 5}) {
        SCOPED_TRACE(interval);
        CMemoryBench bench;
        bench.m_app->Session().programInterval = interval;
        bench.Ranged(CPelicanDlg::IDC_PROGRAM, "C0000", "C02FF", [&] { bench.m_ui.Press(CPreWriteDlg::IDD, ui::IDOK); });
        const auto frames = bench.m_sim.Board().Frames();
        size_t pages = 0;
        for (size_t i = 0; i + 1 < frames.size(); ++i) {
            if (frames[i].bytes[0] != 0x41) continue;
            ++pages;
            // From the frame's last byte to the status frame's only byte: the
            // pause, then one byte's time at 9600 bps.
            const uint64_t gapUs = frames[i + 1].timeUs - frames[i].timeUs;
            EXPECT_EQ(frames[i + 1].bytes, Bytes{0x70});
            EXPECT_GE(gapUs, static_cast<uint64_t>(interval) * 1000);
            EXPECT_LT(gapUs, (static_cast<uint64_t>(interval) + 3) * 1000);
        }
        EXPECT_EQ(pages, 3u);
        // Clear status is followed by its own 50 ms before the first frame.
        EXPECT_EQ(frames.at(1).bytes, Bytes{0x50});
        EXPECT_GE(frames.at(2).timeUs - frames.at(1).timeUs, 50000u);
    }
}

TEST(Program, AStatusThatNeverComesIsAnErrorEvenWhenTheResetBoardReadsClear) {
    // The second page's status never comes; the user resets the board, which
    // clears its status bits, and the recovery brings the link back.
    sim::BoardConfig config;
    config.faults.silentFrom = {0x70, 4};  // start-up, probe, first page, second page
    CMemoryBench bench(config);
    bench.m_resetOnPushReset = true;
    bench.Ranged(CPelicanDlg::IDC_PROGRAM, "C0000", "C03FF", [&] {
        bench.m_ui.Press(CPreWriteDlg::IDD, ui::IDOK);
        bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_BAUDRATE, "9600");
        bench.m_ui.Press(CSetCommDlg::IDD, ui::IDOK);
    });
    EXPECT_EQ(bench.Messages(), (Messages{{"Timeout.\nPush RESET.", Icon::Stop}, {"Program error.", Icon::Stop}}));
    EXPECT_EQ(bench.m_lastOutcome, Outcome::LinkLost);
    EXPECT_EQ(bench.m_sim.FramesOf(0x41), 2u);
    // The page's status was waited for 150 ms, not the standing 5 s.
    const uint64_t waited = bench.m_messageTimes.at(0) - bench.m_pressedAt;
    EXPECT_LT(waited, 2 * (50 + 270 + 40) + 150 + 10);  // Clear status, two pages at 9600 bps
    EXPECT_TRUE(AtRest(bench));
}

TEST(Read, DifferencesSkippedBytesAndCancel) {
    const struct {
        const char* name;
        std::string start, end;
        std::vector<std::pair<uint32_t, Bytes>> board;  // poked before the press
        int cancelAtPump;
        uint32_t first, pages;  // read, from first
        Messages messages;
        Outcome outcome;
    } cases[] = {
        {"the first difference", "C0000", "C01FF", {{0x0C0010, {0x13}}, {0x0C0011, {0x00}}}, 0, 0x0C0000, 1,
         {{"Find not match at address\r0C0010", Icon::None}}, Outcome::Failed},
        // The file's FF at 0C0012 (data or not) leaves the device's 00 alone.
        {"FF in the image is not compared", "C0000", "C01FF",
         {{0x0C0010, {0x12, 0x34, 0x00}}, {0x0C0100, {0x00}}}, 0, 0x0C0000, 2, {}, Outcome::Done},
        {"a range without file data", "D0000", "D01FF", {{0x0D0000, {0x00}}}, 0, 0x0D0000, 2, {}, Outcome::Done},
        {"cancel after the first page", "C0000", "C03FF", {{0x0C0010, {0x12, 0x34}}}, 1, 0x0C0000, 1, {},
         Outcome::Cancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryBench bench;
        bench.LoadImage(S2(0x0C0010, {0x12, 0x34, 0xFF}));
        for (const auto& [address, bytes] : c.board) bench.m_sim.Board().Poke(address, bytes);
        const Bytes bytes = bench.Ranged(CPelicanDlg::IDC_READ, c.start, c.end, [&] {
            if (c.cancelAtPump != 0) bench.m_ui.CancelProgressAtPump(c.cancelAtPump);
        });
        Bytes expected = kProbe;
        for (uint32_t i = 0; i < c.pages; ++i) expected = Cat({expected, PageRead(c.first + i * 0x100)});
        EXPECT_EQ(bytes, Cat({expected, kCloseStep}));
        EXPECT_EQ(bench.Messages(), c.messages);
        EXPECT_EQ(bench.m_lastOutcome, c.outcome);
        if (c.outcome != Outcome::Failed) {
            EXPECT_EQ(bench.m_titles, std::vector<std::string>{"Read check."});
        }
        EXPECT_TRUE(AtRest(bench));
    }
}

}  // namespace
}  // namespace pelican::test
