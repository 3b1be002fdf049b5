// --skip-empty-pages: the pages a batch run sends with and without it, the
// window program's stored choice left alone, the rate of the JSON phase
// events, and the terminal bar's rate and time left.
#include <gtest/gtest.h>

#include <sstream>

#include "support/BatchBench.h"
#include "support/IdFileText.h"
#include "support/ProgramFiles.h"
#include "support/StrictJson.h"

namespace pelican::test {
namespace {

// One byte in page 0C0000 and one in the top page 0FFF00.
const char* const kImage = "S2050C00001CD2\nS2050FFF005A92\nS9030000FC\n";

TEST(BatchSkipPages, EPRSendsOnlyTheDataPagesAndLeavesTheStoredChoiceAlone) {
    CBatchBench bench;
    WriteProgramFiles(bench.m_dir, kImage);
    // The window program's choice is not batch mode's.
    const std::string settings = "[Last Comm State]\nBaundrate=9600\nByte=8\nStop Bit=0\nParity=0\n"
                                 "[Pages]\nSkipEmpty=1\n";
    bench.m_dir.Write("pelican.INI", settings);
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("prog.mot"), "-y", "epr"}), 0) << bench.m_out << bench.m_err;
    EXPECT_EQ(bench.m_sim.FramesOf(0x41), 1024u);
    EXPECT_EQ(bench.m_sim.FramesOf(0xFF), 1024u);

    bench.m_dir.Write("pelican.INI", "");
    bench.m_sim.Board().ClearLog();
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("prog.mot"), "--skip-empty-pages", "-y", "epr"}), 0)
        << bench.m_out << bench.m_err;
    EXPECT_EQ(bench.m_out, "information: Program OK.\n");
    EXPECT_EQ(bench.m_sim.FramesOf(0x41), 2u);
    EXPECT_EQ(bench.m_sim.FramesOf(0xFF), 2u);
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000), 0x1C);
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0FFF00), 0x5A);
    EXPECT_EQ(bench.m_dir.Read("pelican.INI").find("[Pages]"), std::string::npos);
}

TEST(BatchSkipPages, JsonPhasesCarryThePagesSentAndTheirRate) {
    CBatchBench bench;
    WriteProgramFiles(bench.m_dir, kImage);
    EXPECT_EQ(bench.Run({"--json", "-f", bench.m_dir.File("prog.mot"), "--skip-empty-pages", "-y", "epr"}), 0);
    std::istringstream in(bench.m_out);
    std::vector<std::string> phases;
    for (std::string line; std::getline(in, line);) {
        nlohmann::json value;
        std::string error;
        ASSERT_TRUE(ParseJson(line, value, error)) << error;
        if (value["event"] != "phase") continue;
        phases.push_back(Show(value["title"]) + " " + Show(value["pages"]) + " pages in " + Show(value["ms"]) +
                         " ms: " + Show(value["bytes_per_s"]) + " B/s");
    }
    // The rate is that of the pages sent (512 bytes), not of the range.
    EXPECT_EQ(phases, (std::vector<std::string>{"Program 2 pages in 628 ms: 815 B/s",
                                                "Read check. 2 pages in 540 ms: 948 B/s"}));
}

TEST(BatchSkipPages, TheOptionBelongsToTheActions) {
    CBatchBench bench;
    EXPECT_EQ(bench.Run({"--skip-empty-pages"}), 2);
}

}  // namespace
}  // namespace pelican::test
