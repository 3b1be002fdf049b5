// The text forms batch mode prints for messages and progress bars.
#include <gtest/gtest.h>

#include "station/RunPrinter.h"

namespace pelican::test {
namespace {

TEST(BatchLines, MessagesAreOneLineWithTheirIconWord) {
    using ui::Icon;
    EXPECT_EQ(CRunPrinter::MessageLine(Icon::Information, "Program OK."), "information: Program OK.");
    EXPECT_EQ(CRunPrinter::MessageLine(Icon::Stop, "Timeout.\nPush RESET."),
              "stop: Timeout. Push RESET.");
    EXPECT_EQ(CRunPrinter::MessageLine(Icon::None, "a\r\nb"), "none: a  b");
    EXPECT_EQ(CRunPrinter::MessageLine(Icon::Warning, "x"), "warning: x");
    EXPECT_EQ(CRunPrinter::MessageLine(Icon::Exclamation, "x"), "exclamation: x");
}

TEST(BatchLines, ProgressBarMovesWithEveryPageAndIsFullWithTheLast) {
    // A range of 17 pages, after each.
    const struct {
        int pages;
        const char* line;
    } rows[] = {
        {0, "Program [..............................]   0%  0 pages"},
        {1, "Program [#.............................]   5%  1 page"},
        {2, "Program [###...........................]  11%  2 pages"},
        {3, "Program [#####.........................]  17%  3 pages"},
        {4, "Program [######........................]  23%  4 pages"},
        {5, "Program [########......................]  29%  5 pages"},
        {6, "Program [##########....................]  35%  6 pages"},
        {7, "Program [############..................]  41%  7 pages"},
        {8, "Program [##############................]  47%  8 pages"},
        {9, "Program [###############...............]  52%  9 pages"},
        {10, "Program [#################.............]  58%  10 pages"},
        {11, "Program [###################...........]  64%  11 pages"},
        {12, "Program [#####################.........]  70%  12 pages"},
        {13, "Program [######################........]  76%  13 pages"},
        {14, "Program [########################......]  82%  14 pages"},
        {15, "Program [##########################....]  88%  15 pages"},
        {16, "Program [############################..]  94%  16 pages"},
        {17, "Program [##############################] 100%  17 pages"},
    };
    for (const auto& row : rows) EXPECT_EQ(CRunPrinter::ProgressLine("Program", row.pages, 17), row.line);
    EXPECT_EQ(CRunPrinter::ProgressLine("Program", 64, 128), "Program [###############...............]  50%  64 pages");
    // Nothing to go over is done at once.
    EXPECT_EQ(CRunPrinter::ProgressLine("Download", 0, 0), "Download [##############################] 100%  0 pages");
}

// The rate is of the flash bytes the pages carry (256 each); the time left
// is the pages still to go at that rate, rounded up to the second.
TEST(BatchLines, ProgressBarWithRateAndTimeLeft) {
    const std::string bar = "Program [#########.....................]  33%  4 pages";
    EXPECT_EQ(CRunPrinter::ProgressLine("Program", 4, 1000, 12), bar + "      1.0 KiB/s   0:02 left");
    EXPECT_EQ(CRunPrinter::ProgressLine("Program", 4, 0, 12), bar + "        - KiB/s   -:-- left");
    EXPECT_EQ(CRunPrinter::ProgressLine("Program", 4, 1000, 4),
              "Program [##############################] 100%  4 pages      1.0 KiB/s   0:00 left");
    // E.P.R.'s first programmed page at 115200 bps: 63 ms, 1023 to go.
    EXPECT_EQ(CRunPrinter::ProgressLine("Program", 1, 63, 1024),
              "Program [..............................]   0%  1 page      4.0 KiB/s   1:05 left");
}

}  // namespace
}  // namespace pelican::test
