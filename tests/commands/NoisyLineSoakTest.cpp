// "E. P. R..." and "B. P. R..." on a noisy line: many runs of a file with
// gaps, each on a fresh board whose line flips a bit in a character now and
// then, either way. A run may fail in whatever way the noise makes it fail,
// but it must say so: none may end in "Program OK." while the flash differs
// from the file anywhere in the range.
#include <gtest/gtest.h>

#include <cstdio>

#include "commands/CheckMemorryCmd.h"
#include "commands/MemoryBench.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/SetCommDlg.h"
#include "support/GappedImage.h"

namespace pelican::test {
namespace {

constexpr uint32_t kStart = GappedFile::kStart;
constexpr size_t kLength = GappedFile::kLength;
// About one changed character in every run of 16 pages.
constexpr double kNoiseRate = 1.5e-4;
constexpr unsigned kRuns = 64;

struct Tally {
    unsigned runs = 0;
    uint64_t toBoard = 0, toHost = 0;  // characters the line changed
    unsigned hitRuns = 0;              // runs with at least one of them
    unsigned told = 0;                 // runs that ended in a failure the user was shown
    unsigned ok = 0;                   // "Program OK." with the flash as the file
    unsigned silent = 0;               // "Program OK." with the flash not as the file
};

// One run on a fresh board; the line turns noisy when the main window is up.
void SoakRun(int button, const GappedFile& file, uint64_t seed, Tally& tally) {
    CMemoryBench bench;
    bench.m_resetOnPushReset = true;
    bench.LoadImage(file.records);
    // The user answers every dialog the run shows as it comes, whichever
    // failure brought it: the range of the file, OK to go on, and Cancel to
    // "Set baudrate" after a RESET (the run has already failed).
    const auto base = bench.m_ui.m_onIdle;
    bench.m_ui.m_onIdle = [&bench, base](ui::CDialog& dialog) {
        switch (dialog.Template().id) {
            case CSetAddressDlg::IDD:
                bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, "C0000");
                bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, "C0FFF");
                bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
                return;
            case CPreEraseDlg::IDD:
            case CPreWriteDlg::IDD: bench.m_ui.Press(dialog.Template().id, ui::IDOK); return;
            case CSetCommDlg::IDD: bench.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL); return;
            default: base(dialog);
        }
    };
    // The flash as it stands when the user is told "Program OK.".
    std::optional<Bytes> flashAtOk;
    const auto onMessage = bench.m_ui.m_onMessage;
    bench.m_ui.m_onMessage = [&](const ui::MessageRecord& message) {
        onMessage(message);
        if (message.text == "Program OK.") flashAtOk = bench.m_sim.Board().Peek(kStart, kLength);
    };
    bench.Press([&] {
        sim::SimFaults noisy;
        noisy.noiseRate = kNoiseRate;
        noisy.noiseSeed = seed;
        bench.m_sim.Board().SetFaults(noisy);
        bench.m_ui.Press(CPelicanDlg::IDD, button);
    });

    const sim::SimNoise flips = bench.m_sim.Board().NoiseFlips();
    ++tally.runs;
    tally.toBoard += flips.toBoard;
    tally.toHost += flips.toHost;
    tally.hitRuns += flips.toBoard + flips.toHost > 0 ? 1 : 0;
    // "Program OK." and a run that ended as done go together.
    EXPECT_EQ(flashAtOk.has_value(), bench.m_lastOutcome == Outcome::Done) << "seed " << seed;
    if (!flashAtOk) {
        ++tally.told;
        EXPECT_FALSE(bench.Messages().empty()) << "seed " << seed;
        return;
    }
    if (*flashAtOk == file.flash) {
        ++tally.ok;
        return;
    }
    ++tally.silent;
    size_t at = 0;
    while ((*flashAtOk)[at] == file.flash[at]) ++at;
    ADD_FAILURE() << "seed " << seed << ": \"Program OK.\" with "
                  << CCheckMemorryCmd::AddressToHex(kStart + static_cast<uint32_t>(at))
                  << " holding " << int{(*flashAtOk)[at]} << " instead of " << int{file.flash[at]};
}

void Print(const char* run, const Tally& tally) {
    std::printf("%s on a line with %.1e bit errors per character: %u runs, %llu characters changed "
                "(%llu to the board, %llu to the host) in %u of them; %u failures told, %u \"Program OK.\" "
                "with the flash as the file, %u silent corruptions\n",
                run, kNoiseRate, tally.runs, static_cast<unsigned long long>(tally.toBoard + tally.toHost),
                static_cast<unsigned long long>(tally.toBoard), static_cast<unsigned long long>(tally.toHost),
                tally.hitRuns, tally.told, tally.ok, tally.silent);
}

TEST(NoisyLine, NoRunEndsInProgramOkOverAFlashThatDiffersFromTheFile) {
    const GappedFile file = MakeGappedFile();
    for (const auto& [name, button] : {std::pair{"E.P.R.", int{CPelicanDlg::IDC_EPR}},
                                       std::pair{"B.P.R.", int{CPelicanDlg::IDC_BPR}}}) {
        SCOPED_TRACE(name);
        Tally tally;
        for (unsigned run = 0; run < kRuns; ++run) SoakRun(button, file, 1000 + run, tally);
        Print(name, tally);
        EXPECT_EQ(tally.silent, 0u);
        // The soak means something only if the noise hit a good share of the
        // runs and some of them still came through.
        EXPECT_GE(tally.hitRuns, kRuns / 2);
        EXPECT_GE(tally.ok, kRuns / 8);
        EXPECT_GE(tally.told, kRuns / 8);
    }
}

}  // namespace
}  // namespace pelican::test
