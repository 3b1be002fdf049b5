// "Input Address": what it proposes (the image's range, else the texts
// confirmed last) and what it remembers.
#include <gtest/gtest.h>

#include "commands/MemoryBench.h"

namespace pelican::test {
namespace {

using Image = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;

// The texts the dialog showed when it was cancelled without a change.
std::pair<std::string, std::string> Proposed(CMemoryBench& bench) {
    auto& texts = bench.m_ui.m_lastTexts[CSetAddressDlg::IDD];
    return {texts[CSetAddressDlg::IDC_START], texts[CSetAddressDlg::IDC_END]};
}

TEST(InputAddress, ProposesTheImagesRange) {
    const struct {
        const char* name;
        Image image;
        std::pair<std::string, std::string> proposed;
    } cases[] = {
        {"data from page 0C00 to page 0FFF", {{0x0C0010, {1, 2}}, {0x0FFFF0, {3}}}, {"0C0000", "0FFFFF"}},
        {"data only in the last page", {{0xFFFF00, {1}}, {0xFFFFFE, {2}}}, {"FFFF00", "FFFFFF"}},
        // Page 0 never becomes the start: it reads as "no data yet".
        {"data in page 0 and page 1", {{0x000010, {1}}, {0x000110, {2}}}, {"000100", "0001FF"}},
        {"no data", {}, {"0C0000", "0FFFFF"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryBench bench;
        if (!c.image.empty()) bench.LoadImage(c.image);
        const Bytes bytes = bench.Press([&] {
            bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_BLANK);
            bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDCANCEL);
        });
        EXPECT_EQ(Proposed(bench), c.proposed);
        // Cancel ends the command silently, before anything is sent.
        EXPECT_EQ(bytes, Cat({kProbe, kCloseStep}));
        EXPECT_TRUE(bench.Messages().empty());
        EXPECT_EQ(bench.m_lastOutcome, Outcome::Cancelled);
    }
}

TEST(InputAddress, RemembersTheTextsConfirmedLastAsTyped) {
    CMemoryBench bench;
    const Bytes bytes = bench.Press([&] {
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_BLANK);
        bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, "C1000");
        bench.m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, "c1fff");
        bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
        bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_BLANK);
        bench.m_ui.Press(CSetAddressDlg::IDD, ui::IDCANCEL);
    });
    EXPECT_EQ(Proposed(bench), std::make_pair(std::string("C1000"), std::string("c1fff")));
    // The first run checked 0C1000 to 0C1FFF: sixteen pages.
    EXPECT_EQ(bytes.size(), kProbe.size() + 16 * 3 + kProbe.size() + kCloseStep.size());
    EXPECT_EQ(Bytes(bytes.begin() + 1, bytes.begin() + 4), PageRead(0x0C1000));

    // Cancel left them as they were for the next dialog.
    CSetAddressDlg next;
    EXPECT_EQ(next.m_startText, "C1000");
    EXPECT_EQ(next.m_endText, "c1fff");
}

}  // namespace
}  // namespace pelican::test
