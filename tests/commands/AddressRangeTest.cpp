// "Input Address": what it proposes (the image's range, else the texts
// confirmed last) and what it remembers.
#include <gtest/gtest.h>

#include "commands/MemoryBench.h"

namespace pelican::test {
namespace {

using Texts = std::pair<std::string, std::string>;

// The texts the dialog held when it closed.
Texts Shown(CMemoryBench& bench) {
    auto& texts = bench.m_ui.m_lastTexts[CSetAddressDlg::IDD];
    return {texts[CSetAddressDlg::IDC_START], texts[CSetAddressDlg::IDC_END]};
}

TEST(InputAddress, ProposesTheImagesRange) {
    const std::pair<const char*, Texts> cases[] = {
        {"S2060C00100102DA\nS2050FFFF003F9\n", {"0C0000", "0FFFFF"}},  // pages 0C00 to 0FFF
        {"S205FFFF0001FB\nS205FFFFFE02FC\n", {"FFFF00", "FFFFFF"}},    // the last page only
        {"S20500001001E9\nS20500011002E7\n", {"000000", "0001FF"}},    // page 0 starts it
        {"S20500001001E9\n", {"000000", "0000FF"}},                    // page 0 alone
        {"", {"0C0000", "0FFFFF"}},                                    // no data
    };
    for (const auto& [records, proposed] : cases) {
        SCOPED_TRACE(records);
        CMemoryBench bench;
        bench.m_dir.Write("image.mot", std::string(records) + "S804000000FB\n");
        bench.m_app->m_image.Read(bench.m_dir.File("image.mot"));
        const Bytes bytes = bench.Press([&] {
            bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_BLANK);
            bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDCANCEL);
        });
        EXPECT_EQ(Shown(bench), proposed);
        // Cancel ends the command silently, before anything is sent.
        EXPECT_EQ(bytes, Cat({kProbe, kCloseStep}));
        EXPECT_TRUE(bench.Messages().empty());
        EXPECT_EQ(bench.m_lastOutcome, Outcome::Cancelled);
    }
}

TEST(InputAddress, RemembersTheTextsConfirmedLastAsTyped) {
    CMemoryBench bench;
    const Bytes bytes = bench.Blank("C1000", "c1fff", [&] {
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_BLANK);
        bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDCANCEL);
    });
    EXPECT_EQ(Shown(bench), Texts("C1000", "c1fff"));
    // The first run read 0C1000 to 0C1FFF, sixteen pages.
    EXPECT_EQ(bytes.size(), 1 + 16 * 3 + 1 + kCloseStep.size());
    EXPECT_EQ(Bytes(bytes.begin() + 1, bytes.begin() + 4), PageRead(0x0C1000));
    const CSetAddressDlg next(bench.m_app->Session());  // Cancel kept them
    EXPECT_EQ(Texts(next.m_startText, next.m_endText), Texts("C1000", "c1fff"));
}

}  // namespace
}  // namespace pelican::test
