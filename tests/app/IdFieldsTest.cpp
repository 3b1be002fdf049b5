// A program file's path typed into "FilePath" rather than chosen with
// "Refer...": OK reads the ".id" beside it, as "Refer..." does, unless an ID
// was typed.
#include <gtest/gtest.h>

#include "app/AppBench.h"
#include "commands/IDCheckDlg.h"
#include "support/IdFileText.h"
#include "support/SRecordText.h"

namespace pelican::test {
namespace {

using ui::Icon;
using Messages = std::vector<std::pair<std::string, Icon>>;
constexpr int kDlg = CIDCheckDlg::IDD;

TEST(IdFields, OkReadsTheIdFileBesideATypedPath) {
    const struct {
        const char* name;
        const char* idFile;      // beside prog.mot; none when null
        const char* typedId;     // typed into all seven fields; none when null
        Messages messages;
        Bytes idFrame;           // the one ID frame sent; none when empty
        int idChecked;
    } cases[] = {
        {"the .id file beside it", kIdFile, nullptr, {}, {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 1, 2, 3, 4, 5, 6, 7}, 1},
        // ID_PATH stands for the path looked for.
        {"no .id file beside it", nullptr, nullptr,
         {{"No ID to check: ID_PATH was not found. Type the board's seven ID bytes into the ID fields, two "
           "hexadecimal digits each.",
           Icon::Exclamation}},
         {}, 0},
        // What was typed wins over the file.
        {"an ID typed as well", kIdFile, "08",
         {{"Not match ID.", Icon::Exclamation},
          {"A board erased since its ID was written (an E.P.R. cut off after its erase) holds FF in all seven ID "
           "bytes: type FF into each ID field to try that ID.",
           Icon::Information}},
         {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 8, 8, 8, 8, 8, 8, 8}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CAppBench bench;
        bench.SelectProgram();
        bench.m_dir.Write("prog.mot", Record(2, 0x0C0000, {0x11, 0x22, 0x33}) + "\nS9030000FC\n");
        if (c.idFile != nullptr) bench.m_dir.Write("prog.id", c.idFile);
        bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_FILEPATH, bench.m_dir.File("prog.mot"));
        for (int i = 0; c.typedId != nullptr && i < 7; ++i) bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_ID1 + i, c.typedId);
        bench.m_ui.Press(kDlg, ui::IDOK);
        if (c.idChecked == 0) bench.m_ui.Press(kDlg, ui::IDCANCEL);
        Bytes wire;
        bench.Run([&] { wire = bench.m_sim.Received(); });
        Messages expected = c.messages;
        for (auto& [text, icon] : expected)
            if (const size_t at = text.find("ID_PATH"); at != std::string::npos)
                text.replace(at, 7, bench.m_dir.File("prog.id"));
        EXPECT_EQ(bench.Messages(), expected);
        EXPECT_EQ(bench.m_app->m_idChecked, c.idChecked);
        EXPECT_EQ(std::count(wire.begin(), wire.end(), 0xF5), c.idFrame.empty() ? 0 : 1);
        if (!c.idFrame.empty()) {
            EXPECT_NE(std::search(wire.begin(), wire.end(), c.idFrame.begin(), c.idFrame.end()), wire.end());
        }
        EXPECT_TRUE(bench.m_ui.m_problems.empty());
    }
}

// Leaving the field after typing the path fills the ID from the ".id" file
// and takes the MCU type it names, before OK; without one, or with an ID
// typed already, nothing is said or changed until OK.
TEST(IdFields, LeavingATypedPathReadsTheIdFile) {
    CAppBench bench;
    bench.SelectProgram();
    bench.m_dir.Write("w.mot", Record(2, 0x0C0000, {0x11, 0x22, 0x33}) + "\nS9030000FC\n");
    bench.m_dir.Write("w.id", "FFFFDF 11\nFFFFE3 12\nFFFFEB 13\nFFFFEF 14\nFFFFF3 15\nFFFFF7 16\nFFFFFB 17\n");
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_FILEPATH, bench.m_dir.File("w.mot"));
    bench.m_ui.Leave(kDlg, CIDCheckDlg::IDC_FILEPATH);
    // A path without an ".id" file, then one with an ID typed: both left quietly.
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_FILEPATH, bench.m_dir.File("none.mot"));
    bench.m_ui.Leave(kDlg, CIDCheckDlg::IDC_FILEPATH);
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_ID1 + 6, "AA");
    bench.m_ui.SetText(kDlg, CIDCheckDlg::IDC_FILEPATH, bench.m_dir.File("w.mot"));
    bench.m_ui.Leave(kDlg, CIDCheckDlg::IDC_FILEPATH);
    bench.m_ui.Press(kDlg, ui::IDCANCEL);
    bench.Run();
    EXPECT_EQ(bench.Messages(), Messages{});
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(bench.m_ui.m_lastTexts[kDlg][CIDCheckDlg::IDC_ID1 + i], std::to_string(11 + i)) << i;
    EXPECT_EQ(bench.m_ui.m_lastTexts[kDlg][CIDCheckDlg::IDC_ID1 + 6], "AA");
    EXPECT_EQ(bench.m_app->Session().mcuType, 1);
    EXPECT_TRUE(bench.m_ui.m_problems.empty());
}

}  // namespace
}  // namespace pelican::test
