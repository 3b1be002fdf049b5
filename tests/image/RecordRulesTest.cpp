// The page image and how each kind of S-record line lands in it.
#include <gtest/gtest.h>

#include <cstdio>

#include "LoaderFixture.h"

namespace pelican::test {
namespace {

TEST(LineImage, NewPageIsBlankAndWritesStayInsideThePage) {
    CLineImage page;
    Bytes out(256, 0);
    page.Read(out.data());
    EXPECT_EQ(out, Bytes(256, 0xFF));

    const Bytes data = Seq(8, 0x10);
    page.Write(data.data(), 0x1234F8, data.size());  // offset is address mod 256
    page.Read(out.data());
    Bytes expected(256, 0xFF);
    std::copy(data.begin(), data.end(), expected.begin() + 0xF8);
    EXPECT_EQ(out, expected);

    // A run longer than the rest of the page is cut at the page's end.
    const Bytes longRun = Seq(16, 0x80);
    page.Write(longRun.data(), 0xFC, longRun.size());
    page.Read(out.data());
    std::copy(longRun.begin(), longRun.begin() + 4, expected.begin() + 0xFC);
    EXPECT_EQ(out, expected);

    page.FillBlank();
    page.Read(out.data());
    EXPECT_EQ(out, Bytes(256, 0xFF));
}

TEST_F(LoaderTest, FreshImageAnswersEmptyEverywhereAndLeavesTheBufferAlone) {
    Bytes buffer(256, 0x5A);
    for (uint32_t index = 0; index < 0x10000; ++index) ASSERT_EQ(m_image.GetPage(buffer.data(), index), nullptr);
    for (uint32_t index : {0x10000u, 0x10001u, 0xFFFFFFFFu}) EXPECT_EQ(m_image.GetPage(buffer.data(), index), nullptr);
    EXPECT_EQ(buffer, Bytes(256, 0x5A));
    uint32_t start = 1, end = 1;
    m_image.GetUsedRange(start, end);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);
    EXPECT_EQ(m_image.PageCount(), 0u);
}

TEST_F(LoaderTest, HeaderAndTerminationOnlyGiveAnEmptyImage) {
    EXPECT_EQ(LoadText(Record(0, 0, Seq(6, 'h')) + "\n" + Record(9, 0) + "\n"), 1);
    EXPECT_EQ(m_image.PageCount(), 0u);
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_FALSE(m_image.FileErrorShown());
}

TEST_F(LoaderTest, EveryTerminationTypeEndsTheLoadAndNothingAfterItIsRead) {
    for (int type : {7, 8, 9}) {
        const std::string text = Record(1, 0x100, {1}) + "\n" + Record(type, 0x1234) + "\n" + Record(1, 0x200, {2}) + "\n";
        EXPECT_EQ(LoadText(text), 1) << type;
        EXPECT_EQ(Page(1), BlankWith(0, {1}));
        EXPECT_TRUE(Page(2).empty()) << "record after S" << type;
    }
    EXPECT_TRUE(m_ui.m_messages.empty());
}

TEST_F(LoaderTest, WithoutTerminationAllDataLoadsAndTheResultIsZero) {
    const std::string text = Record(1, 0x0000, Seq(16, 0)) + "\n" + Record(2, 0x0C0010, Seq(32, 0x40)) + "\n" +
                             Record(3, 0x00FF0000, Seq(4, 0xA0)) + "\n";
    EXPECT_EQ(LoadText(text), 0);
    EXPECT_EQ(Page(0), BlankWith(0, Seq(16, 0)));
    EXPECT_EQ(Page(0x0C00), BlankWith(0x10, Seq(32, 0x40)));
    EXPECT_EQ(Page(0xFF00), BlankWith(0, Seq(4, 0xA0)));
    EXPECT_EQ(m_image.PageCount(), 3u);
    EXPECT_TRUE(m_ui.m_messages.empty());
}

TEST_F(LoaderTest, BlankLinesAreSkippedAndAStrayLineRefusesTheWholeFileNamingIt) {
    // Blank lines, lines of blanks, Windows line ends and no line end after the last record.
    const std::string text = "\n\n" + Record(1, 0x100, {1}) + "\r\n \t\n\n" + Record(1, 0x200, {2}) + "\n" + Record(9, 0);
    EXPECT_EQ(LoadText(text), 1);
    EXPECT_EQ(Page(1), BlankWith(0, {1}));
    EXPECT_EQ(Page(2), BlankWith(0, {2}));
    EXPECT_TRUE(m_ui.m_messages.empty());
    // Old editors end a file with Ctrl-Z; nothing after it is text.
    EXPECT_EQ(LoadText(Record(1, 0x100, {1}) + "\r\n\x1A"), 0);
    EXPECT_EQ(m_image.PageCount(), 1u);
    EXPECT_TRUE(m_ui.m_messages.empty());

    // A line amid the records that is none: the records around it are no
    // program without it. The record mark is upper case only.
    std::string lower = Record(1, 0x500, {5});
    lower[0] = 's';
    const std::string stray[] = {" " + Record(1, 0x300, {3}), "\t" + Record(1, 0x300, {3}), std::string(43, '\0'),
                                 "<<<<<<< HEAD", lower, "=======", "0C0000 FF"};
    for (const std::string& line : stray) {
        SCOPED_TRACE(line);
        m_ui.ClearRecords();
        EXPECT_EQ(LoadText(Record(0, 0, {'h'}) + "\n\n" + Record(1, 0x100, {1}) + "\n" + line + "\n" +
                           Record(1, 0x400, {4}) + "\n" + Record(9, 0) + "\n"),
                  0);
        EXPECT_EQ(m_image.PageCount(), 0u);
        EXPECT_TRUE(m_image.FileErrorShown());
        ExpectOnlyMessage("Not an S-record in line 4 of " + m_dir.File("prog.mot") + ".\nCan not accept this file.",
                          ui::Icon::Exclamation);
    }
}

TEST_F(LoaderTest, AFileThatDoesNotBeginWithARecordIsNoSRecordFile) {
    // Bytes of a program image, or any text, named as if it held S-records.
    static const char kElf[] = "\x7F" "ELF\x02\x01\x01\0\0\0\nS10401000AF0\n";
    for (const std::string& text : {std::string(kElf, sizeof kElf - 1),
                                    std::string("\n  \nhello\n"), std::string("\x1B[2J") + Record(9, 0)}) {
        m_ui.ClearRecords();
        EXPECT_EQ(LoadText(text), 0);
        EXPECT_EQ(m_image.PageCount(), 0u);
        ExpectOnlyMessage(m_dir.File("prog.mot") + " is not an S-record file.\nCan not accept this file.",
                          ui::Icon::Exclamation);
    }
}

TEST_F(LoaderTest, LowerCaseDigitsLoadLikeUpperCase) {
    std::string text = Record(2, 0x0ABCDE, {0xAB, 0xCD, 0xEF, 0xfa}) + "\n" + Record(8, 0) + "\n";
    for (char& c : text)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    EXPECT_EQ(LoadText(text), 1);
    EXPECT_EQ(Page(0x0ABC), BlankWith(0xDE, {0xAB, 0xCD, 0xEF, 0xFA}));
}

TEST_F(LoaderTest, RecordAcrossAPageEndIsSplitOverTwoPages) {
    // Page 0x11 already holds a byte that the split record must not touch.
    const std::string text = Record(1, 0x1180, {0x77}) + "\n" + Record(1, 0x10F8, Seq(16, 0x20)) + "\n";
    EXPECT_EQ(LoadText(text), 0);
    EXPECT_EQ(Page(0x10), BlankWith(0xF8, Seq(8, 0x20)));
    Bytes second = BlankWith(0, Seq(8, 0x28));
    second[0x80] = 0x77;
    EXPECT_EQ(Page(0x11), second);
    EXPECT_EQ(m_image.PageCount(), 2u);
}

TEST_F(LoaderTest, RecordWithoutDataMakesItsPagePresentAndBlank) {
    const std::string s2 = "S2040F2000CC";  // count 4: address and checksum only
    EXPECT_EQ(LoadText(s2 + "\n"), 0);
    EXPECT_EQ(Page(0x0F20), Bytes(256, 0xFF));
    uint32_t start = 0, end = 0;
    m_image.GetUsedRange(start, end);
    EXPECT_EQ(start, 0x0F2000u);
    EXPECT_EQ(end, 0x0F20FFu);
}

TEST_F(LoaderTest, OtherRecordTypesAreSkipped) {
    // S4 to S6, S0 and an unknown type carry nothing into the image, even
    // when their fields would look like an address and data.
    const std::string text = Record(1, 0x0100, Seq(4, 1)) + "\n" + Record(5, 3) + "\n" + Record(6, 0x0200) + "\n" +
                             Record(4, 0x0300, {0xAA, 0xBB}) + "\n" + "SA050400AABB00\n" + "SX\n" + "S\n" +
                             "S0 free text header\n" + Record(0, 0x0500, Seq(4, 9)) + "\n" + Record(1, 0x0600, {6}) +
                             "trailing text after the checksum\n";
    EXPECT_EQ(LoadText(text), 0);
    EXPECT_EQ(Page(1), BlankWith(0, Seq(4, 1)));
    EXPECT_EQ(Page(6), BlankWith(0, {6}));
    EXPECT_EQ(m_image.PageCount(), 2u);
    EXPECT_TRUE(m_ui.m_messages.empty());
}

TEST_F(LoaderTest, AWrongChecksumRefusesTheWholeFileNamingTheLine) {
    // One digit changed in transit: the record still decodes, only its
    // checksum tells. Data, header and termination records alike, and a
    // record whose checksum is missing.
    std::string flipped = Record(2, 0x0C0100, Seq(16, 0x40));
    flipped[12] = flipped[12] == '7' ? '8' : '7';
    std::string header = Record(0, 0, Seq(4, 'h'));
    header[9] ^= 1;
    std::string end = Record(9, 0);
    end.back() = end.back() == '0' ? '1' : '0';
    const std::string missing = Record(1, 0x0200, {1, 2}).substr(0, 12);
    const std::string good = Record(1, 0x0100, Seq(8, 1)) + "\n\n" + Record(3, 0x00F00000, {7}) + "\n";
    for (const std::string& bad : {flipped, header, end, missing}) {
        m_ui.ClearRecords();
        EXPECT_EQ(LoadText(good + bad + "\n" + Record(1, 0x0300, {3}) + "\n" + Record(9, 0) + "\n"), 0) << bad;
        // Nothing half-loaded: not even the records before it.
        EXPECT_EQ(m_image.PageCount(), 0u) << bad;
        EXPECT_TRUE(m_image.FileErrorShown());
        ExpectOnlyMessage("Checksum error in line 4 of " + m_dir.File("prog.mot") + ".\nCan not accept this file.",
                          ui::Icon::Exclamation);
    }

    // Told not to verify (batch mode's choice), the same file loads as its records read.
    m_ui.ClearRecords();
    m_image.SetVerifyChecksums(false);
    EXPECT_EQ(LoadText(good + flipped + "\n" + Record(9, 0) + "\n"), 1);
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_EQ(m_image.PageCount(), 3u);
    EXPECT_FALSE(m_image.FileErrorShown());
}

TEST_F(LoaderTest, OverlappingRecordsMustAgreeOnEveryByte) {
    // Parts joined with a common stretch load: the bytes given twice are the same.
    const std::string same = Record(1, 0x2000, Seq(16, 0)) + "\n" + Record(2, 0x002004, {4, 5}) + "\n" +
                             Record(3, 0x0000200E, {14, 15, 0xEE}) + "\n";
    EXPECT_EQ(LoadText(same), 0);
    Bytes expected = BlankWith(0, Seq(16, 0));
    expected[16] = 0xEE;
    EXPECT_EQ(Page(0x20), expected);
    EXPECT_TRUE(m_ui.m_messages.empty());
    // Loading the same file again gives the same image.
    LoadText(same);
    EXPECT_EQ(Page(0x20), expected);
    EXPECT_EQ(m_image.PageCount(), 1u);

    // Two different bytes for one address: which one was meant is unknown.
    // The first that differs is named, here in the second page of a record
    // that runs over a page end.
    const struct {
        std::string second;
        const char* address;
    } rows[] = {
        {Record(2, 0x002004, {0xAA, 0xBB}), "002004"},
        {Record(1, 0x200F, {15, 0x11}), "002010"},
        {Record(1, 0x1FF8, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 2, 0x33}), "002003"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.address);
        m_ui.ClearRecords();
        EXPECT_EQ(LoadText(Record(1, 0x2000, Seq(16, 0)) + "\n" + Record(1, 0x2010, {0x10}) + "\n" + row.second +
                           "\n" + Record(9, 0) + "\n"),
                  0);
        EXPECT_EQ(m_image.PageCount(), 0u);
        ExpectOnlyMessage(std::string("Address ") + row.address + " is given a second time in line 3 of " +
                              m_dir.File("prog.mot") + ".\nCan not accept this file.",
                          ui::Icon::Exclamation);
    }
}

TEST_F(LoaderTest, LongestRecordsAndAByteCountThatWraps) {
    // S1 with count FF: 252 data bytes.
    EXPECT_EQ(LoadText(Record(1, 0x0104, Seq(252, 0)) + "\n"), 0);
    EXPECT_EQ(Page(1), BlankWith(4, Seq(252, 0)));
    EXPECT_TRUE(m_ui.m_messages.empty());

    // An S1 count of 02 wraps to 255 data bytes: taken when the line holds them.
    EXPECT_EQ(LoadText(RecordWithCount(1, 0x02, 0x0300, Seq(255, 1)) + "\n"), 0);
    EXPECT_EQ(Page(3), BlankWith(0, Seq(255, 1)));
    EXPECT_TRUE(m_ui.m_messages.empty());

    // ...and refused when it does not, with nothing of the file kept.
    EXPECT_EQ(LoadText(Record(1, 0x0100, {1}) + "\nS1020400FF00\n" + Record(1, 0x0500, {5}) + "\n"), 0);
    ExpectRefused();
    EXPECT_EQ(m_image.PageCount(), 0u);
}

TEST_F(LoaderTest, ABadRecordRefusesTheWholeFileOncePerLoad) {
    std::string bad = Record(1, 0x0310, Seq(8, 0x30));
    bad[10] = 'G';
    std::string shortRecord = Record(1, 0x0410, Seq(8, 0x30));
    shortRecord.resize(shortRecord.size() - 6);  // checksum and two data bytes missing
    // Byte count or address not hexadecimal, or the line ending inside them.
    std::vector<std::string> refused = {bad, shortRecord};
    for (const char* line : {"S1G5010011", "S10501X011", "S1", "S105", "S10501", "S2060101", "S3070100000"})
        refused.emplace_back(line);
    for (const std::string& record : refused) {
        SCOPED_TRACE(record);
        m_ui.ClearRecords();
        const std::string text = Record(1, 0x0100, {1}) + "\n" + record + "\n" + bad + "\n" + Record(1, 0x0200, {2}) +
                                 "\n" + Record(9, 0) + "\n";
        EXPECT_EQ(LoadText(text), 0);
        ExpectRefused();
        // The records before it were no program without the rest.
        EXPECT_EQ(m_image.PageCount(), 0u);
        EXPECT_TRUE(m_image.FileErrorShown());
    }
    // Every load that meets a bad record says so once.
    m_ui.ClearRecords();
    LoadText(bad + "\n");
    LoadText(bad + "\n");
    EXPECT_EQ(m_ui.m_messages.size(), 2u);
}

TEST_F(LoaderTest, RecordsReachingPastTheTopAddressAreRefused) {
    // Page 0xFFFF with one byte at the very top.
    EXPECT_EQ(LoadText(Record(3, 0x00FFFFFF, {0x42}) + "\n" + Record(7, 0) + "\n"), 1);
    EXPECT_EQ(Page(0xFFFF), BlankWith(0xFF, {0x42}));
    uint32_t start = 0, end = 0;
    m_image.GetUsedRange(start, end);
    EXPECT_EQ(start, 0xFFFF00u);
    EXPECT_EQ(end, 0xFFFFFFu);
    EXPECT_TRUE(m_ui.m_messages.empty());

    // Data ending exactly at 0xFFFFFF fits; one byte more does not, and a
    // 32-bit address at or above 0x1000000 has no place at all.
    EXPECT_EQ(LoadText(Record(3, 0x00FFFFF0, Seq(16, 0)) + "\n"), 0);
    EXPECT_EQ(Page(0xFFFF), BlankWith(0xF0, Seq(16, 0)));
    for (const auto& [address, length] : {std::pair<uint32_t, size_t>{0x00FFFFF0, 17}, {0x00FFFFFF, 2},
                                          {0x01000000, 1}, {0x01000000, 0}, {0xFFFFFFF0, 4}, {0xFFFFFF00, 16}}) {
        m_ui.ClearRecords();
        EXPECT_EQ(LoadText(Record(1, 0x10, {1}) + "\n" + Record(3, address, Seq(length, 0)) + "\n"), 0);
        ExpectRefused();
        EXPECT_EQ(m_image.PageCount(), 0u) << std::hex << address;
    }
}

TEST_F(LoaderTest, UsedRangeCountsPageZeroAndCanBeLimited) {
    uint32_t start = 1, end = 1;
    EXPECT_FALSE(m_image.GetUsedRange(start, end));  // nothing loaded
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);

    LoadText(Record(1, 0x0010, {1}) + "\n");
    EXPECT_TRUE(m_image.GetUsedRange(start, end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0xFFu);

    LoadText(Record(1, 0x0010, {1}) + "\n" + Record(2, 0x0C0000, {2}) + "\n" + Record(1, 0x2B80, {3}) + "\n" +
             Record(2, 0x0FFF00, {4}) + "\n");
    EXPECT_TRUE(m_image.GetUsedRange(start, end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0x0FFFFFu);
    // Only the pages that start below a limit (a boot program's area).
    EXPECT_TRUE(m_image.GetUsedRange(start, end, 0x2C00));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0x002BFFu);

    LoadText(Record(2, 0x0C0000, {2}) + "\n" + Record(1, 0x2B80, {3}) + "\n");
    EXPECT_TRUE(m_image.GetUsedRange(start, end, 0x2C00));
    EXPECT_EQ(start, 0x002B00u);
    EXPECT_EQ(end, 0x002BFFu);
    EXPECT_FALSE(m_image.GetUsedRange(start, end, 0x2B00));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 0u);
}

TEST_F(LoaderTest, ASecondFileReplacesTheFirst) {
    LoadText(Record(1, 0x1000, Seq(32, 0)) + "\n" + Record(2, 0x0FFF00, {1}) + "\n", "first.mot");
    ASSERT_EQ(m_image.PageCount(), 2u);
    EXPECT_EQ(LoadText(Record(2, 0x0C0000, {7}) + "\n" + Record(8, 0) + "\n", "second.s"), 1);
    EXPECT_EQ(m_image.PageCount(), 1u);
    EXPECT_TRUE(Page(0x10).empty());
    EXPECT_TRUE(Page(0x0FFF).empty());
    EXPECT_EQ(Page(0x0C00), BlankWith(0, {7}));

    // A file with no data empties the image too.
    EXPECT_EQ(LoadText(Record(0, 0) + "\n" + Record(9, 0) + "\n", "empty.btp"), 1);
    EXPECT_EQ(m_image.PageCount(), 0u);
    EXPECT_TRUE(Page(0x0C00).empty());
}

}  // namespace
}  // namespace pelican::test
