// "Download..." against the simulated board on both targets: the frames on
// the wire with their pauses, the checksum, the boot loader's answer, the
// messages with their icons and how the command ended.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "commands/DownloadDlg.h"
#include "commands/MemoryBench.h"
#include "image/LoaderFixture.h"
#include "support/FrameEncoder.h"

namespace pelican::test {
namespace {

using ui::Icon;

const Messages kCompleted = {{"Download Completed.", Icon::None}};
const Messages kNotCompleted = {{"Download not completed.\nPlease retry Download.", Icon::Exclamation}};

// A program of count bytes from address on, one S1 record per 32 bytes.
uint8_t ProgramByte(uint32_t address) {
    return static_cast<uint8_t>(address * 7 + 3);
}

std::string Program(uint32_t address, size_t count) {
    std::string text;
    for (size_t done = 0; done < count; done += 32) {
        Bytes data(32);
        for (size_t i = 0; i < data.size(); ++i) data[i] = ProgramByte(static_cast<uint32_t>(address + done + i));
        text += Record(2, static_cast<uint32_t>(address + done), data) + "\n";
    }
    return text;
}

// The pages from start to end as they go out: the programs' bytes (first
// address and length of each), FF where a page with program bytes has
// none, 00 over a page without any.
Bytes Pages(uint32_t start, uint32_t end, std::initializer_list<std::pair<uint32_t, size_t>> programs) {
    const auto held = [&](uint32_t a) {
        for (const auto& [first, count] : programs)
            if (a >= first && a < first + count) return true;
        return false;
    };
    Bytes out;
    for (uint32_t page = start - start % 256; page <= end; page += 256) {
        bool any = false;
        for (uint32_t a = page; a < page + 256; ++a) any = any || held(a);
        for (uint32_t a = page; a < page + 256; ++a) out.push_back(held(a) ? ProgramByte(a) : any ? 0xFF : 0x00);
    }
    return out;
}

struct Transfer {
    Bytes wire;                        // from the probe on, the close step cut off
    std::vector<size_t> sentAtPump;    // bytes on the wire at each pump
    std::vector<uint64_t> pumpTimes;
};

// A board with the program file loaded: on the boot-loader target through
// File Select at start-up, on the internal-flash target straight into the
// image. "Download..." with the range typed (or the proposed one), then
// "Download?" answered with confirm.
Transfer Download(CMemoryBench& bench, int target, const std::string& file, const std::string& start,
             const std::string& end, int confirm = ui::IDOK, int cancelAtPump = 0) {
    bench.m_dir.Write("boot.mot", file + "S9030000FC\n");  // the records, then the end
    bench.m_target = target;
    if (target == 1)
        bench.m_selectFile = bench.m_dir.File("boot.mot");
    else
        bench.m_app->m_image.Read(bench.m_dir.File("boot.mot"));
    Transfer run;
    bench.m_ui.m_onPump = [&] {
        run.sentAtPump.push_back(bench.m_sim.Received().size());
        run.pumpTimes.push_back(bench.m_sim.Clock().NowMs());
    };
    run.wire = bench.Press([&] {
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_DOWNLOAD);
        if (!start.empty()) {
            bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, start);
            bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, end);
        }
        bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
        if (confirm != 0) bench.m_ui.Press(CDownloadDlg::IDD, confirm);
        if (cancelAtPump != 0) bench.m_ui.CancelProgressAtPump(cancelAtPump);
    });
    bench.m_ui.m_onPump = nullptr;
    // Exit's return to 9600 bps ends every run.
    EXPECT_GE(run.wire.size(), kCloseStep.size());
    run.wire.resize(run.wire.size() - std::min(run.wire.size(), kCloseStep.size()));
    EXPECT_TRUE(AtRest(bench));
    EXPECT_TRUE(bench.m_ui.m_problems.empty());
    return run;
}

TEST(Download, BootProgramOverTheWholeArea) {
    CMemoryBench bench(BootBoard());
    const Transfer run = Download(bench, 1, Program(0x0000, 0x2A00), "", "");
    const Bytes pages = Pages(0x0000, 0x29FF, {{0x0000, 0x2A00}});
    ASSERT_EQ(pages.size(), 0x2A00u);
    EXPECT_EQ(run.wire, Cat({kProbe, wire::Download(0x2A00, pages)}));
    // 42 frames, each whole on the wire before the bar moves: 260 bytes,
    // then 256 each.
    ASSERT_EQ(run.sentAtPump.size(), 42u);
    for (size_t i = 0; i < run.sentAtPump.size(); ++i) EXPECT_EQ(run.sentAtPump[i], 1 + 260 + 256 * i) << i;
    // Between two frames: the next frame's line time at 9600 bps and the
    // 40 ms pause.
    for (size_t i = 1; i < run.pumpTimes.size(); ++i) {
        EXPECT_GE(run.pumpTimes[i] - run.pumpTimes[i - 1], 267u + 40u) << i;
        EXPECT_LE(run.pumpTimes[i] - run.pumpTimes[i - 1], 268u + 40u) << i;
    }
    // The pause follows the last frame too, before the answer is read.
    ASSERT_EQ(bench.m_messageTimes.size(), 1u);
    EXPECT_GE(bench.m_messageTimes[0] - run.pumpTimes.back(), 40u);
    EXPECT_EQ(bench.m_bar.front(), std::make_pair(20, 0));
    EXPECT_EQ(bench.m_bar.back(), std::make_pair(20, 20));
    EXPECT_EQ(bench.Messages(), kCompleted);
    EXPECT_EQ(bench.m_lastOutcome, Outcome::Done);
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0000, 0x2A00), pages);
}

TEST(Download, RangesRefusedBeforeAnythingIsSent) {
    const struct {
        const char* name;
        int target;
        std::string file, start, end;
        int confirm;
        Messages messages;
        Outcome outcome;
    } cases[] = {
        {"end 2A00 is rounded to 2AFF", 1, Program(0, 0x100), "0000", "2A00", 0,
         {{"Too higher end address(0x2A00)", Icon::Exclamation}}, Outcome::Refused},
        {"the proposed range reaches into 2B00", 1, Program(0, 0x100) + Program(0x2B00, 0x20), "", "", 0,
         {{"Too higher end address(0x2A00)", Icon::Exclamation}}, Outcome::Refused},
        {"start not below end", 1, Program(0, 0x100), "0200", "01FF", 0,
         {{"Too small start address.", Icon::Exclamation}}, Outcome::Refused},
        {"Cancel in Download?", 1, Program(0, 0x100), "", "", ui::IDCANCEL, {{"Stop downloading.", Icon::None}},
         Outcome::Cancelled},
        // 0x10000 bytes would go out with a size of 0 in the header.
        {"64 KiB on the internal-flash target", 0, Program(0xC0000, 0x100), "C0000", "CFFFF", 0,
         {{"Too large range to download.\nThe largest is FF00 bytes (255 pages).", Icon::Exclamation}},
         Outcome::Refused},
        {"the proposed 256 KiB", 0, Program(0xC0000, 0x100) + Program(0xFFF00, 0x10), "", "", 0,
         {{"Too large range to download.\nThe largest is FF00 bytes (255 pages).", Icon::Exclamation}},
         Outcome::Refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryBench bench(c.target == 1 ? BootBoard() : sim::BoardConfig{});
        const Transfer run = Download(bench, c.target, c.file, c.start, c.end, c.confirm);
        EXPECT_EQ(run.wire, kProbe);
        EXPECT_EQ(bench.Messages(), c.messages);
        EXPECT_EQ(bench.m_lastOutcome, c.outcome);
        EXPECT_TRUE(bench.m_bar.empty());
    }
}

TEST(Download, TheBootLoadersAnswer) {
    using Faults = sim::SimFaults;
    const struct {
        const char* name;
        std::function<void(Faults&)> fault;
        Messages messages;
        Outcome outcome;
        bool timedOut = false;
    } cases[] = {
        {"00 00", [](Faults&) {}, kCompleted, Outcome::Done},
        {"00 01", [](Faults& f) { f.wrongReply = {0xFA, 1}, f.wrongIndex = 1, f.wrongValue = 0x01; }, kNotCompleted,
         Outcome::Failed},
        {"00 02 shows nothing", [](Faults& f) { f.wrongReply = {0xFA, 1}, f.wrongIndex = 1, f.wrongValue = 0x02; },
         {}, Outcome::Done},
        {"none within the time-out", [](Faults& f) { f.lateReply = {0xFA, 1}, f.lateMs = 20000; }, kNotCompleted,
         Outcome::Failed, true},
        {"a damaged answer", [](Faults& f) { f.lineError = {0xFA, 1}; }, kNotCompleted, Outcome::Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config = BootBoard();
        c.fault(config.faults);
        CMemoryBench bench(config);
        // An answer later than the time-out never comes: it would hold up
        // the echoes of Exit's return to 9600 bps behind it.
        bench.m_ui.m_onMessage = [&](const ui::MessageRecord&) {
            bench.m_messageTimes.push_back(bench.m_sim.Clock().NowMs());
            bench.m_sim.Board().DiscardReplies();
        };
        const Transfer run = Download(bench, 1, Program(0x0000, 0x200), "", "");
        EXPECT_EQ(run.wire.size(), 1u + 4 + 0x200);
        EXPECT_EQ(bench.Messages(), c.messages);
        EXPECT_EQ(bench.m_lastOutcome, c.outcome);
        // No recovery: the link stays up.
        EXPECT_EQ(bench.m_app->m_linkReady, 1);
        // The answer is read after the last pause, with the standing time-out.
        if (!bench.m_messageTimes.empty()) {
            const uint64_t waited = bench.m_messageTimes[0] - run.pumpTimes.back();
            EXPECT_EQ(waited >= 40 + 5000, c.timedOut) << waited;
        }
    }
}

TEST(Download, CancelCutsTheTransferWithoutWaitingForAnAnswer) {
    CMemoryBench bench(BootBoard());
    // The boot loader waits for the rest of the transfer until its frame
    // time-out; the user reads the message for longer than that.
    bench.m_ui.m_onMessage = [&](const ui::MessageRecord&) {
        bench.m_messageTimes.push_back(bench.m_sim.Clock().NowMs());
        bench.m_sim.Clock().Sleep(2500);
    };
    const Transfer run = Download(bench, 1, Program(0x0000, 0x800), "", "", ui::IDOK, 2);
    // Two frames went out, and nothing after them: no pause, no read.
    EXPECT_EQ(run.wire.size(), 1u + 260 + 256);
    EXPECT_EQ(bench.Messages(), (Messages{{"Stop downloading.", Icon::Information}}));
    ASSERT_EQ(bench.m_messageTimes.size(), 1u);
    EXPECT_EQ(bench.m_messageTimes[0], run.pumpTimes.back());
    EXPECT_EQ(bench.m_lastOutcome, Outcome::Cancelled);
}

TEST(Download, WholePagesWithZerosWhereTheFileHasNone) {
    // A hole in the middle page; the internal-flash target reads nothing
    // back: the message follows the last pause at once.
    const struct {
        int target;
        std::string file, start, end;
        uint32_t first, last;
        size_t after;  // the program's bytes from the third page on
        Bytes header;  // FA, size low and high, checksum
    } cases[] = {
        // The pattern over a whole page sums to 7F80, its 0x40 bytes from 0x200
        // on to 37E0, and the FF after them in their page to BF40.
        {1, Program(0x0000, 0x100) + Program(0x0200, 0x40), "", "", 0x0000, 0x02FF, 0x40, {0xFA, 0x00, 0x03, 0xA0}},
        {0, Program(0xC0000, 0x100) + Program(0xC0200, 0x40), "", "", 0xC0000, 0xC02FF, 0x40, {0xFA, 0x00, 0x03, 0xA0}},
        {0, Program(0xC0000, 0x100), "C0000", "CFEFF", 0xC0000, 0xCFEFF, 0, {0xFA, 0x00, 0xFF, 0x80}},  // the largest size, FF00
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.last);
        CMemoryBench bench(c.target == 1 ? BootBoard() : sim::BoardConfig{});
        const Transfer run = Download(bench, c.target, c.file, c.start, c.end);
        const Bytes pages = Pages(c.first, c.last, {{c.first, 0x100}, {c.first + 0x200, c.after}});
        EXPECT_EQ(Bytes(pages.begin() + 0x100, pages.begin() + 0x200), Bytes(256, 0x00));
        EXPECT_EQ(run.wire, Cat({kProbe, c.header, pages}));
        EXPECT_EQ(run.wire, Cat({kProbe, wire::Download(c.last - c.first + 1, pages)}));
        EXPECT_EQ(bench.Messages(), kCompleted);
        if (c.target == 0) {
            EXPECT_EQ(bench.m_messageTimes.at(0) - run.pumpTimes.back(), 40u);
        }
    }
}

}  // namespace
}  // namespace pelican::test
