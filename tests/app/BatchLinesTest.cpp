// The text forms batch mode prints for messages and progress bars.
#include <gtest/gtest.h>

#include "batch/BatchRunner.h"

namespace pelican::test {
namespace {

TEST(BatchLines, MessagesAreOneLineWithTheirIconWord) {
    using ui::Icon;
    EXPECT_EQ(CBatchRunner::MessageLine({"Pelican", "Program OK.", Icon::Information}), "information: Program OK.");
    EXPECT_EQ(CBatchRunner::MessageLine({"Pelican", "Timeout.\nPush RESET.", Icon::Stop}),
              "stop: Timeout. Push RESET.");
    EXPECT_EQ(CBatchRunner::MessageLine({"Pelican", "a\r\nb", Icon::None}), "none: a  b");
    EXPECT_EQ(CBatchRunner::MessageLine({"Pelican", "x", Icon::Warning}), "warning: x");
    EXPECT_EQ(CBatchRunner::MessageLine({"Pelican", "x", Icon::Exclamation}), "exclamation: x");
}

TEST(BatchLines, ProgressBar) {
    EXPECT_EQ(CBatchRunner::ProgressLine("Program", 0, 130, 0, 1), "Program [..............................]   0%  1 page");
    EXPECT_EQ(CBatchRunner::ProgressLine("Program", 0, 130, 65, 128),
              "Program [###############...............]  50%  128 pages");
    // A single-page range has a bar from 0 to 0: done at once.
    EXPECT_EQ(CBatchRunner::ProgressLine("Download", 0, 0, 0, 1), "Download [##############################] 100%  1 page");
    EXPECT_EQ(CBatchRunner::ProgressLine("Read check.", 0, 10, 99, 3).substr(0, 44),
              "Read check. [##############################]");
}

// The rate is of the flash bytes the pages carry (256 each); the time left
// is the pages still to go at that rate, rounded up to the second.
TEST(BatchLines, ProgressBarWithRateAndTimeLeft) {
    const std::string bar = CBatchRunner::ProgressLine("Program", 0, 5, 1, 4);
    EXPECT_EQ(CBatchRunner::ProgressLine("Program", 0, 5, 1, 4, 1000, 12), bar + "      1.0 KiB/s   0:02 left");
    EXPECT_EQ(CBatchRunner::ProgressLine("Program", 0, 5, 1, 4, 1000, 4), bar + "      1.0 KiB/s   0:00 left");
    EXPECT_EQ(CBatchRunner::ProgressLine("Program", 0, 5, 1, 4, 0, 12), bar + "        - KiB/s   -:-- left");
    // E.P.R.'s first programmed page at 115200 bps: 63 ms, 1023 to go.
    EXPECT_EQ(CBatchRunner::ProgressLine("Program", 0, 523, 0, 1, 63, 1024),
              CBatchRunner::ProgressLine("Program", 0, 523, 0, 1) + "      4.0 KiB/s   1:05 left");
}

}  // namespace
}  // namespace pelican::test
