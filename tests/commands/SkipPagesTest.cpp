// "Skip pages without data": which pages each memory command sends and reads
// with the choice and without it, the frames' contents, the flash left
// behind, and the bar over the pages actually sent.
#include <gtest/gtest.h>

#include "commands/CheckMemorryCmd.h"
#include "commands/MemoryBench.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"

namespace pelican::test {
namespace {

using ui::Icon;
using Pages = std::vector<uint32_t>;

// Code at the bottom of the flash and the vector table in its top page, as
// an image for this family holds them: its range is the whole flash.
const std::string kImage = S2(0x0C0000, {0x11, 0x22}) + S2(0x0C0100, {0x33}) + S2(0x0C02F0, {0x44}) +
                           S2(0x0FFF00, {0x5A});
const Pages kDataPages = {0x0C0000, 0x0C0100, 0x0C0200, 0x0FFF00};
const Messages kOk = {{"Program OK.", Icon::Information}};

Pages Every(uint32_t start, uint32_t end) {
    Pages pages;
    for (uint32_t a = start; a < end; a += 256) pages.push_back(a);
    return pages;
}

uint32_t PageOf(const Bytes& frame) {
    return uint32_t{frame.at(2)} << 16 | uint32_t{frame.at(1)} << 8;
}

// The page addresses of the frames with this first byte, in the order sent.
Pages Sent(CMemoryBench& bench, uint8_t code) {
    Pages pages;
    for (const auto& frame : bench.m_sim.Board().Frames())
        if (frame.bytes.at(0) == code) pages.push_back(PageOf(frame.bytes));
    return pages;
}

// The Page program frame for address, or nothing when none was sent.
Bytes FrameAt(CMemoryBench& bench, uint32_t address) {
    for (const auto& frame : bench.m_sim.Board().Frames())
        if (frame.bytes.at(0) == 0x41 && PageOf(frame.bytes) == address) return frame.bytes;
    return {};
}

void Prepare(CMemoryBench& bench, bool skip) {
    // The choice as the window program holds it for this run.
    bench.m_app->m_pageChoiceStored = false;
    bench.m_app->m_skipEmptyPages = skip;
    bench.LoadImage(kImage);
}

TEST(SkipEmptyPages, EPRSendsAndReadsEveryPageWithoutItAndOnlyTheDataPagesWithIt) {
    for (const bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "skipping" : "every page");
        CMemoryBench bench;
        Prepare(bench, skip);
        bench.Press([&] {
            bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_EPR);
            bench.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
        });
        const Pages expected = skip ? kDataPages : Every(0x0C0000, 0x0FFFFF);
        EXPECT_EQ(Sent(bench, 0x41), expected);
        EXPECT_EQ(Sent(bench, 0xFF), expected);
        // One status read per page sent, and the last one.
        EXPECT_EQ(bench.m_sim.FramesOf(0x70), 1 + 1 + expected.size() + 1);
        EXPECT_EQ(FrameAt(bench, 0x0C0000), PageProgram(0x0C0000, {0x11, 0x22}));
        EXPECT_EQ(FrameAt(bench, 0x0FFF00), PageProgram(0x0FFF00, {0x5A}));
        EXPECT_EQ(FrameAt(bench, 0x0C0300).empty(), skip);
        EXPECT_EQ(bench.Messages(), kOk);
        EXPECT_EQ(bench.m_lastOutcome, Outcome::Done);
        EXPECT_TRUE(AtRest(bench));
        // The erase left the pages not sent as the file has them: FF.
        const Bytes flash = bench.m_sim.Board().Peek(0x0C0000, 0x40000);
        Bytes file(0x40000, 0xFF);
        file[0] = 0x11, file[1] = 0x22, file[0x100] = 0x33, file[0x2F0] = 0x44, file[0x3FF00] = 0x5A;
        EXPECT_TRUE(flash == file);
    }
}

TEST(SkipEmptyPages, TheBarAndItsCountGoOverThePagesSent) {
    CMemoryBench bench;
    Prepare(bench, true);
    bench.Press([&] {
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_EPR);
        bench.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
    });
    // Four pages side by side: 0 to (1024 - 1 - 256) / 500, moved at 0, 256,
    // 512 and 768 bytes; in each of the two phases.
    const std::vector<std::pair<int, int>> phase = {{1, 0}, {1, 0}, {1, 1}, {1, 1}};
    std::vector<std::pair<int, int>> both = phase;
    both.insert(both.end(), phase.begin(), phase.end());
    EXPECT_EQ(bench.m_bar, both);
}

TEST(SkipEmptyPages, BPRStillChecksTheWholeRangeBlank) {
    for (const bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "skipping" : "every page");
        CMemoryBench bench;
        Prepare(bench, skip);
        // The board's top page holds its ID bytes: not blank.
        bench.Ranged(CPelicanDlg::IDC_BPR, "C0000", "C3FFF", [&] { bench.m_ui.Press(CPreWriteDlg::IDD, ui::IDOK); });
        const Pages every = Every(0x0C0000, 0x0C3FFF);
        const Pages programmed = skip ? Pages(kDataPages.begin(), kDataPages.end() - 1) : every;
        Pages reads = every;  // the blank check, then the read-back
        reads.insert(reads.end(), programmed.begin(), programmed.end());
        EXPECT_EQ(Sent(bench, 0x41), programmed);
        EXPECT_EQ(Sent(bench, 0xFF), reads);
        EXPECT_EQ(bench.Messages(), kOk);
    }
}

TEST(SkipEmptyPages, ProgramAndReadVisitOnlyTheDataPagesOfTheRangeTyped) {
    CMemoryBench program;
    Prepare(program, true);
    program.Ranged(CPelicanDlg::IDC_PROGRAM, "C0100", "C3FFF", [&] { program.m_ui.Press(CPreWriteDlg::IDD, ui::IDOK); });
    EXPECT_EQ(Sent(program, 0x41), (Pages{0x0C0100, 0x0C0200}));
    EXPECT_EQ(program.Messages(), kOk);

    // Each page read is compared as without the choice: the first byte of
    // the file the flash does not hold is named.
    CMemoryBench read;
    Prepare(read, true);
    read.m_sim.Board().Poke(0x0C0000, {0x11, 0x22});
    read.m_sim.Board().Poke(0x0C0100, {0x33});
    read.Ranged(CPelicanDlg::IDC_READ, "C0000", "FFFFF");
    EXPECT_EQ(Sent(read, 0xFF), (Pages{0x0C0000, 0x0C0100, 0x0C0200}));
    EXPECT_EQ(read.Messages(), (Messages{{"Find not match at address\r0C02F0", Icon::None}}));
    EXPECT_EQ(read.m_lastOutcome, Outcome::Failed);

    // A range without any data: the window opens and closes, nothing is sent.
    CMemoryBench empty;
    Prepare(empty, true);
    empty.Ranged(CPelicanDlg::IDC_READ, "D0000", "D0FFF");
    EXPECT_TRUE(Sent(empty, 0xFF).empty());
    EXPECT_TRUE(empty.Messages().empty());
    EXPECT_EQ(empty.m_lastOutcome, Outcome::Done);
    EXPECT_TRUE(AtRest(empty));
}

TEST(SkipEmptyPages, PageSelection) {
    CMotFile image;
    const std::string text = kImage + "S804000000FB\n";
    image.ReadText(text.data(), text.size());
    using P = CCheckMemorryCmd::Pages;
    EXPECT_EQ(CCheckMemorryCmd::SelectPages(image, 0x0C0000, 0x0FFFFF, P::WithData), kDataPages);
    EXPECT_EQ(CCheckMemorryCmd::SelectPages(image, 0x0C0000, 0x0FFFFF, P::Every).size(), 1024u);
    EXPECT_EQ(CCheckMemorryCmd::SelectPages(image, 0x0C0100, 0x0C01FF, P::WithData), (Pages{0x0C0100}));
    // A page the file fills with FF is data the file gives: it goes out.
    const std::string ff = S2(0x0D0000, {0xFF}) + "S804000000FB\n";
    image.ReadText(ff.data(), ff.size());
    EXPECT_EQ(CCheckMemorryCmd::SelectPages(image, 0x0C0000, 0xFFFFFF, P::WithData), (Pages{0x0D0000}));
    // The top of the address space ends the walk.
    EXPECT_EQ(CCheckMemorryCmd::SelectPages(image, 0xFFFF00, 0xFFFFFF, P::Every), (Pages{0xFFFF00}));
}

}  // namespace
}  // namespace pelican::test
