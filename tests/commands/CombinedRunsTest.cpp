// "E. P. R..." and "B. P. R..." against the simulated board: which phases
// ran (frames on the wire, progress windows), how each kind of failure and
// Cancel ends the run, and the time-out left behind.
#include <gtest/gtest.h>

#include "commands/MemoryBench.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/IDCheckDlg.h"
#include "commands/SetCommDlg.h"

namespace pelican::test {
namespace {

using ui::Icon;
using Titles = std::vector<std::string>;

const Titles kAllPhases = {"Program", "Read check."};

struct RunCase {
    const char* name;
    std::string records;                    // the file; empty: none loaded
    std::optional<uint32_t> failPage;       // the board's page that takes nothing
    std::pair<uint32_t, Bytes> poke;        // on the board before the run (size 0: none)
    std::pair<uint32_t, Bytes> pokeLater;   // on the board once the read-back runs
    int cancelAtPump;
    size_t frames, reads;                   // Page program and Page read frames
    Titles titles;                          // the progress windows, in order
    Messages messages;
    Outcome outcome;
};

void Check(CMemoryBench& bench, const RunCase& c) {
    EXPECT_EQ(bench.m_sim.FramesOf(0x41), c.frames);
    EXPECT_EQ(bench.m_sim.FramesOf(0xFF), c.reads);
    EXPECT_EQ(bench.m_titles, c.titles);
    EXPECT_EQ(bench.Messages(), c.messages);
    EXPECT_EQ(bench.m_lastOutcome, c.outcome);
    EXPECT_TRUE(AtRest(bench));
    EXPECT_TRUE(bench.m_ui.m_problems.empty());
}

void Prepare(CMemoryBench& bench, const RunCase& c) {
    if (!c.records.empty()) bench.LoadImage(c.records);
    if (!c.poke.second.empty()) bench.m_sim.Board().Poke(c.poke.first, c.poke.second);
    if (!c.pokeLater.second.empty()) {
        bench.m_onBar = [&bench, poke = c.pokeLater](const std::string& title) {
            if (title == "Read check.") bench.m_sim.Board().Poke(poke.first, poke.second);
        };
    }
}

sim::BoardConfig Board(const RunCase& c) {
    sim::BoardConfig config;
    config.faults.programFailPage = c.failPage;
    return config;
}

// Data in five pages, 0C0000 to 0C04FF.
const std::string kFivePages = S2(0x0C0000, {1}) + S2(0x0C0100, {2}) + S2(0x0C0200, {3}) + S2(0x0C0300, {4}) +
                               S2(0x0C04F0, {5});
const Messages kOk = {{"Program OK.", Icon::Information}};
const Messages kError = {{"Program error.", Icon::Stop}};

TEST(EPR, PhasesAndHowTheRunEnds) {
    const RunCase cases[] = {
        {"all three phases", kFivePages, {}, {}, {}, 0, 5, 5, kAllPhases, kOk, Outcome::Done},
        // 0C0000 to 0FFFFF, every page FF, read back.
        {"no file loaded", "", {}, {}, {}, 0, 1024, 1024, kAllPhases, kOk, Outcome::Done},
        {"a page failure at the third page", kFivePages, 0x0C0200, {}, {}, 0, 3, 0, {"Program"}, kError,
         Outcome::Failed},
        {"cancel while programming", kFivePages, {}, {}, {}, 1, 1, 0, {"Program"},
         {{"Stop programming.", Icon::Information}}, Outcome::Cancelled},
        {"cancel while reading", kFivePages, {}, {}, {}, 6, 5, 1, kAllPhases, kOk, Outcome::Cancelled},
        {"a difference", kFivePages, {}, {}, {0x0C0300, {0x00}}, 0, 5, 4, kAllPhases,
         {{"Find not match at address\r0C0300", Icon::None}}, Outcome::Failed},
        // After the erase every byte of the range is known, the file's or FF:
        // all of them are compared, bytes the file holds as FF included.
        {"a 00 where the file has no data", kFivePages, {}, {}, {0x0C0180, {0x00}}, 0, 5, 2, kAllPhases,
         {{"Find not match at address\r0C0180", Icon::None}}, Outcome::Failed},
        {"a data byte FF that lost a bit", S2(0x0C0000, {1}) + S2(0x0C0100, {5, 0xFF, 7}), {}, {},
         {0x0C0101, {0xFE}}, 0, 2, 2, kAllPhases, {{"Find not match at address\r0C0101", Icon::None}},
         Outcome::Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryBench bench(Board(c));
        Prepare(bench, c);
        const Bytes bytes = bench.Press([&] {
            bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_EPR);
            bench.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
            if (c.cancelAtPump != 0) bench.m_ui.CancelProgressAtPump(c.cancelAtPump);
        });
        // Erase, then Clear status and the first frame: no dialog between.
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 10), (Bytes{0x70, 0x50, 0x75, 0xA7, 0xD0, 0x70, 0x50, 0x41,
                                                                     bytes[8], bytes[9]}));
        EXPECT_EQ(Bytes(bytes.begin() + 8, bytes.begin() + 10), (Bytes{0x00, 0x0C}));
        Check(bench, c);
        if (c.outcome == Outcome::Done && !c.records.empty()) {
            EXPECT_EQ(bench.m_sim.Board().Peek(0x0C04F0), 5);
        }
    }
}

TEST(CombinedRuns, DataOutsideTheFlashAreRefusedBeforeAnythingIsErasedOrWritten) {
    // An Orca/S P has flash at 0C0000 to 0FFFFF only: the board would take
    // the erase and fail at the first page it has no flash for.
    const struct {
        const char* name;
        std::string records;
        const char* outside;
    } cases[] = {
        {"a record at 010000", S2(0x0C0000, {1}) + S2(0x010000, {2}) + S2(0x010100, {3}) + S2(0x010300, {4}),
         "010000 to 0101FF"},
        {"data in page 0", S2(0x000010, {9}) + S2(0x0C0000, {1}), "000000 to 0000FF"},
        {"a record running past 0FFFFF", S2(0x0FFFF8, Bytes(16, 0x5A)), "100000 to 1000FF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Messages told = {{std::string("The file holds data at ") + c.outside +
                                    ", outside the flash of Orca/S P (0C0000 to 0FFFFF).",
                                Icon::Exclamation}};
        CMemoryBench epr;
        epr.LoadImage(c.records);
        const Bytes erased = epr.Press([&] {
            epr.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_EPR);
            epr.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
        });
        EXPECT_EQ(erased, Cat({kProbe, kCloseStep}));
        EXPECT_EQ(epr.Messages(), told);
        EXPECT_EQ(epr.m_lastOutcome, Outcome::Refused);

        CMemoryBench bpr;
        bpr.LoadImage(c.records);
        const Bytes written = bpr.Ranged(CPelicanDlg::IDC_BPR, "0", "FFFFFF");
        EXPECT_EQ(written, Cat({kProbe, kCloseStep}));
        EXPECT_EQ(bpr.Messages(), told);
        EXPECT_EQ(bpr.m_lastOutcome, Outcome::Refused);
    }
    // A B.P.R. over the flash alone leaves what lies outside it out.
    CMemoryBench bench;
    bench.LoadImage(S2(0x0C0000, {1}) + S2(0x010000, {2}));
    bench.Ranged(CPelicanDlg::IDC_BPR, "C0000", "C00FF", [&] { bench.m_ui.Press(CPreWriteDlg::IDD, ui::IDOK); });
    EXPECT_EQ(bench.Messages(), kOk);
    EXPECT_EQ(bench.m_sim.FramesOf(0x41), 1u);
}

TEST(CombinedRuns, AStatusThatNeverCameEndsWithProgramErrorAndNoReadPhase) {
    // The second page's status never comes. The user resets the board as
    // told and the recovery brings the link back; the reset board has
    // forgotten its ID check, so a read phase could only fail again.
    const struct {
        const char* name;
        int button;
        unsigned silentStatus;  // start-up, probe, (erase,) first page, second page
        size_t reads;
        Titles titles;
    } cases[] = {
        {"E.P.R.", CPelicanDlg::IDC_EPR, 5, 0, {"Program"}},
        {"B.P.R.", CPelicanDlg::IDC_BPR, 4, 5, {"Blank Check", "Program"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        config.faults.silentFrom = {0x70, c.silentStatus};
        CMemoryBench bench(config);
        bench.m_resetOnPushReset = true;
        bench.LoadImage(kFivePages);
        const auto recover = [&] {
            bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_BAUDRATE, "9600");
            bench.m_ui.Press(CSetCommDlg::IDD, ui::IDOK);
        };
        Bytes bytes;
        if (c.button == CPelicanDlg::IDC_EPR) {
            bytes = bench.Press([&] {
                bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_EPR);
                bench.m_ui.Press(CPreEraseDlg::IDD, ui::IDOK);
                recover();
            });
        } else {
            bytes = bench.Ranged(CPelicanDlg::IDC_BPR, "C0000", "C04FF", [&] {
                bench.m_ui.Press(CPreWriteDlg::IDD, ui::IDOK);
                recover();
            });
        }
        Check(bench, {c.name, kFivePages, {}, {}, {}, 0, 2, c.reads, c.titles,
                      {{"Timeout.\nPush RESET.", Icon::Stop}, {"Program error.", Icon::Stop}}, Outcome::LinkLost});
        // After the recovery's synchronisation: its change to 9600 bps, its
        // status read, then only the close step.
        const Bytes zeros(16, 0x00);
        const auto sync = std::find_end(bytes.begin(), bytes.end(), zeros.begin(), zeros.end());
        ASSERT_NE(sync, bytes.end());
        EXPECT_EQ(Bytes(sync + 16, bytes.end()), Cat({{0xB0, 0xB0, 0xB0, 0x70}, kCloseStep}));
        EXPECT_EQ(bench.m_app->m_linkReady, 1);
    }
}

TEST(BPR, PhasesAndHowTheRunEnds) {
    const Titles kThree = {"Blank Check", "Program", "Read check."};
    const std::string kTwoOfThree = S2(0x0C0000, {1}) + S2(0x0C0100, {2});
    const RunCase cases[] = {
        {"all four steps", kFivePages, {}, {}, {}, 0, 5, 10, kThree, kOk, Outcome::Done},
        {"a range that is not blank", kFivePages, {}, {0x0C0105, {0x7F}}, {}, 0, 0, 2, {"Blank Check"},
         {{"Find not blank at address\r0C0105", Icon::None}}, Outcome::Failed},
        // The read-back finds the page that did not take its data.
        {"a page failure at the third page", kFivePages, 0x0C0200, {}, {}, 0, 3, 5 + 3, kThree,
         {{"Find not match at address\r0C0200", Icon::None}}, Outcome::Failed},
        // Nothing to find in the failed page: the last status read reports it.
        {"a page failure the read-back cannot see", kTwoOfThree, 0x0C0200, {}, {}, 0, 3, 3 + 3, kThree, kError,
         Outcome::Failed},
        {"a 00 where the file has no data", kFivePages, {}, {}, {0x0C0180, {0x00}}, 0, 5, 5 + 2, kThree,
         {{"Find not match at address\r0C0180", Icon::None}}, Outcome::Failed},
        {"cancel while programming", kFivePages, {}, {}, {}, 5 + 1, 1, 5, {"Blank Check", "Program"},
         {{"Stop programming.", Icon::Information}}, Outcome::Cancelled},
        {"cancel while reading", kFivePages, {}, {}, {}, 10 + 1, 5, 5 + 1, kThree, kOk, Outcome::Cancelled},
        {"cancel in Program next area.", kFivePages, {}, {}, {}, 0, 0, 5, {"Blank Check"},
         {{"Stop programming.", Icon::None}}, Outcome::Cancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryBench bench(Board(c));
        Prepare(bench, c);
        const Bytes bytes = bench.Ranged(CPelicanDlg::IDC_BPR, "C0000", c.records == kTwoOfThree ? "C02FF" : "C04FF",
                                         [&] {
                                             if (c.reads >= 5)
                                                 bench.m_ui.Press(CPreWriteDlg::IDD, c.frames > 0 ? ui::IDOK : ui::IDCANCEL);
                                             if (c.cancelAtPump != 0) bench.m_ui.CancelProgressAtPump(c.cancelAtPump);
                                         });
        // Clear status only once the range was found blank and confirmed.
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0x50), c.frames > 0 ? 1 : 0);
        Check(bench, c);
    }
}

}  // namespace
}  // namespace pelican::test
