// Intel HEX and raw binary files in the image: every record checked, nothing
// kept of a refused file, and the same bytes as srec_cat writes from the data.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "LoaderFixture.h"
#include "image/IdFile.h"
#include "support/ProgramFiles.h"
#include "support/SrecCat.h"
#include "ui/Messages.h"

namespace pelican::test {
namespace {

// One Intel HEX record with a correct count and checksum.
std::string HexRecord(uint8_t type, uint16_t offset, const Bytes& data = {}) {
    Bytes body = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(offset >> 8),
                  static_cast<uint8_t>(offset), type};
    body.insert(body.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t b : body) sum = static_cast<uint8_t>(sum + b);
    body.push_back(static_cast<uint8_t>(-sum));
    std::string text = ":";
    char digits[3];
    for (uint8_t b : body) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
    }
    return text + "\n";
}

const std::string kEnd = ":00000001FF\n";

class IntelHexTest : public LoaderTest {
protected:
    // The load was refused as a whole: the reason, "Can not accept this
    // file." below it, no page.
    void ExpectRefused(const std::string& content, const std::string& why) {
        SCOPED_TRACE(content);
        m_ui.ClearRecords();
        EXPECT_EQ(LoadText(content, "prog.hex"), 0);
        ExpectOnlyMessage(why + "\nCan not accept this file.", ui::Icon::Exclamation);
        EXPECT_EQ(m_image.PageCount(), 0u);
        EXPECT_TRUE(m_image.FileErrorShown());
    }
    std::string Of(size_t line) const { return "line " + std::to_string(line) + " of " + m_dir.File("prog.hex"); }
    uint8_t ByteAt(uint32_t address) const {
        const Bytes page = Page(address / 256);
        return page.empty() ? 0xFF : page[address % 256];
    }
};

TEST_F(IntelHexTest, DataAtLinearAndSegmentBases) {
    const std::string content = HexRecord(4, 0, {0x00, 0x0C}) + HexRecord(0, 0x00FE, {1, 2, 3, 4}) +
                                HexRecord(2, 0, {0x10, 0x00}) + HexRecord(0, 0x0010, {0xAA}) +
                                HexRecord(5, 0, {0, 0x0C, 0, 0}) + kEnd + HexRecord(0, 0, {0x55});
    EXPECT_EQ(LoadText(content, "prog.hex"), 1);
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_EQ(Page(0x0C00)[0xFE], 1);
    EXPECT_EQ(Page(0x0C00)[0xFF], 2);
    EXPECT_EQ(Page(0x0C01)[0x00], 3);
    EXPECT_EQ(Page(0x0C01)[0x01], 4);
    EXPECT_EQ(ByteAt(0x10010), 0xAA);   // segment 1000 → 010000
    EXPECT_EQ(m_image.PageCount(), 3u);  // nothing after the end-of-file record
}

TEST_F(IntelHexTest, SegmentOffsetsWrapLinearOnesRunOn) {
    const std::string content = HexRecord(2, 0, {0x10, 0x00}) + HexRecord(0, 0xFFFF, {1, 2}) +
                                HexRecord(4, 0, {0x00, 0x0C}) + HexRecord(0, 0xFFFF, {3, 4}) + kEnd;
    EXPECT_EQ(LoadText(content, "prog.hex"), 1);
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_EQ(ByteAt(0x01FFFF), 1);
    EXPECT_EQ(ByteAt(0x010000), 2);
    EXPECT_EQ(ByteAt(0x0CFFFF), 3);
    EXPECT_EQ(ByteAt(0x0D0000), 4);
}

TEST_F(IntelHexTest, StartRecordsAreTakenAnywhereBeforeTheEnd) {
    // What objcopy writes for an entry point below 1 MiB (03, CS:IP) and
    // above it (05), before the data or after them.
    const std::string data = HexRecord(4, 0, {0x00, 0x0C}) + HexRecord(0, 0x0010, {0xAB});
    for (const std::string& content :
         {HexRecord(3, 0, {0xC0, 0x00, 0x00, 0x10}) + data + kEnd, data + HexRecord(3, 0, {0xC0, 0x00, 0x00, 0x10}) + kEnd,
          HexRecord(5, 0, {0x00, 0x0C, 0x00, 0x10}) + data + HexRecord(3, 0, {0, 0, 0, 0}) + kEnd}) {
        SCOPED_TRACE(content);
        m_ui.ClearRecords();
        EXPECT_EQ(LoadText(content, "prog.hex"), 1);
        EXPECT_TRUE(m_ui.m_messages.empty());
        EXPECT_EQ(ByteAt(0x0C0010), 0xAB);
        EXPECT_EQ(m_image.PageCount(), 1u);
    }
}

TEST_F(IntelHexTest, BadRecordsRefuseTheWholeFileNamingLineAndReason) {
    const std::string good = HexRecord(0, 0x0000, {1, 2, 3});
    std::string badCount = HexRecord(0, 0x0100, {1, 2, 3});
    badCount.insert(9, "00");
    ExpectRefused(good + badCount + kEnd, "The record in " + Of(2) + " is not as long as its byte count says.");
    ExpectRefused(good + HexRecord(3, 0, {0, 0}) + kEnd, "The record of type 03 in " + Of(2) + " has a wrong length or address.");
    ExpectRefused(good + HexRecord(6, 0) + kEnd, "Unknown record type 06 in " + Of(2) + ".");
    ExpectRefused(good + "S2060C00001122BA\n" + kEnd, "Not an Intel HEX record in " + Of(2) + ".");
    ExpectRefused(good + ":0100000001FG\n" + kEnd, "Not an Intel HEX record in " + Of(2) + ".");
    ExpectRefused(good + HexRecord(4, 0, {0x01, 0x00}) + HexRecord(0, 0, {1}) + kEnd,
                  "Data past address FFFFFF in " + Of(3) + ".");
    ExpectRefused(good + HexRecord(4, 0, {0x00}) + kEnd, "The record of type 04 in " + Of(2) + " has a wrong length or address.");
    ExpectRefused(good + ":0000000\n" + kEnd, "Not an Intel HEX record in " + Of(2) + ".");
    ExpectRefused(good + HexRecord(0, 0x0002, {9}) + kEnd, "Address 000002 is given a second time in " + Of(2) + ".");
    // A file cut short, also at a record boundary: the end record is missing.
    ExpectRefused(good + HexRecord(0, 0x0100, {7}), "The file ends before its end record (" + Of(2) + ").");
    ExpectRefused(good + "\n\n", "The file ends before its end record (" + Of(3) + ").");
}

TEST_F(IntelHexTest, ABadChecksumIsToldAsForSRecordsUnlessChecksumsAreIgnored) {
    const std::string good = HexRecord(0, 0x0000, {1, 2, 3});
    std::string badSum = HexRecord(0, 0x0100, {1, 2, 3});
    badSum[badSum.size() - 2] = badSum[badSum.size() - 2] == '0' ? '1' : '0';
    const std::string path = m_dir.File("prog.hex");
    EXPECT_EQ(LoadText(good + badSum + kEnd, "prog.hex"), 0);
    ExpectOnlyMessage("Checksum error in line 2 of " + path + ".\nCan not accept this file.", ui::Icon::Exclamation);
    EXPECT_EQ(m_image.PageCount(), 0u);
    EXPECT_TRUE(m_image.FileErrorShown());
    // A damaged end-of-file record counts as well.
    m_ui.ClearRecords();
    EXPECT_EQ(LoadText(good + ":00000001FE\n", "prog.hex"), 0);
    ExpectOnlyMessage("Checksum error in line 2 of " + path + ".\nCan not accept this file.", ui::Icon::Exclamation);

    // Ignored, the records load as their digits read.
    m_image.SetVerifyChecksums(false);
    m_ui.ClearRecords();
    EXPECT_EQ(LoadText(good + badSum + kEnd, "prog.hex"), 1);
    EXPECT_TRUE(m_ui.m_messages.empty());
    EXPECT_EQ(Page(1)[2], 3);
    // Other faults are refused all the same.
    ExpectRefused(good + HexRecord(0, 0x0001, {9}) + kEnd, "Address 000001 is given a second time in " + Of(2) + ".");
}

TEST_F(IntelHexTest, OverlappingRecordsAreRefused) {
    ExpectRefused(HexRecord(0, 0x0100, {1, 2, 3, 4}) + HexRecord(0, 0x0103, {9}) + kEnd,
                  "Address 000103 is given a second time in " + Of(2) + ".");
    // The same address reached through two bases overlaps too.
    ExpectRefused(HexRecord(0, 0x0100, {1}) + HexRecord(2, 0, {0x00, 0x10}) + HexRecord(0, 0x0000, {2}) + kEnd,
                  "Address 000100 is given a second time in " + Of(3) + ".");
    // Adjacent records do not overlap.
    m_ui.ClearRecords();
    EXPECT_EQ(LoadText(HexRecord(0, 0x0100, {1, 2}) + HexRecord(0, 0x0102, {3}) + kEnd, "prog.hex"), 1);
    EXPECT_TRUE(m_ui.m_messages.empty());
}

TEST_F(IntelHexTest, ARefusedFileLeavesNoEarlierImage) {
    EXPECT_EQ(LoadText(kProgramRecords), 1);
    EXPECT_EQ(m_image.PageCount(), 1u);
    ExpectRefused(HexRecord(0, 0, {1}) + HexRecord(6, 0), "Unknown record type 06 in " + Of(2) + ".");
}

TEST_F(IntelHexTest, BinaryFilesArePlacedAtTheOffset) {
    const Bytes data = Seq(300, 0x10);
    m_dir.Write("prog.bin", std::string(data.begin(), data.end()));
    EXPECT_EQ(m_image.Load(m_ui, m_dir.File("prog.bin")), 1);
    uint32_t start = 0, end = 0;
    ASSERT_TRUE(m_image.GetUsedRange(start, end));
    EXPECT_EQ(start, 0x0C0000u);
    EXPECT_EQ(end, 0x0C01FFu);
    EXPECT_EQ(ByteAt(0x0C0000), 0x10);
    EXPECT_EQ(ByteAt(0x0C012B), static_cast<uint8_t>(0x10 + 299));
    EXPECT_EQ(ByteAt(0x0C012C), 0xFF);

    m_image.SetBinaryOffset(0xFFFF80);
    EXPECT_EQ(m_image.Load(m_ui, m_dir.File("prog.bin")), 0);  // 300 bytes do not fit below 1000000
    ExpectOnlyMessage(m_dir.File("prog.bin") + " reaches past address FFFFFF.\nCan not accept this file.",
                      ui::Icon::Exclamation);
    EXPECT_EQ(m_image.PageCount(), 0u);
    m_image.SetBinaryOffset(0xFFFED4);                    // exactly to the top
    EXPECT_EQ(m_image.Load(m_ui, m_dir.File("prog.bin")), 1);
    EXPECT_EQ(ByteAt(0xFFFFFF), static_cast<uint8_t>(0x10 + 299));
}

TEST_F(IntelHexTest, MissingFilesShowTheFileError) {
    EXPECT_EQ(m_image.Load(m_ui, m_dir.File("none.hex")), 0);
    EXPECT_TRUE(m_image.FileErrorShown());
    EXPECT_EQ(m_image.Load(m_ui, m_dir.File("none.bin")), 0);
    EXPECT_TRUE(m_image.FileErrorShown());
}

TEST(IdFilePath, BesideEveryInputFormat) {
    std::string id;
    // Names made on other systems come in capitals; the dump writes ".srec".
    for (const char* name : {"prog.hex", "prog.ihex", "prog.bin", "prog.mot", "prog.s", "prog.srec", "prog.btp",
                             "prog.HEX", "prog.IHex", "prog.BIN", "prog.MOT", "prog.S", "prog.SREC", "prog.Btp"}) {
        ASSERT_TRUE(CIdFile::PathFor(name, id)) << name;
        EXPECT_EQ(id, "prog.id");
    }
    for (const char* name : {"prog.txt", "prog", "prog.ss", "prog.hexx", "mot"}) EXPECT_FALSE(CIdFile::PathFor(name, id)) << name;
}

TEST_F(IntelHexTest, SrecCatFilesLoadToTheBytesTheyWereMadeFrom) {
    if (!SrecCatOrSkip()) return;
    struct Case {
        uint32_t base;
        size_t size;
        const char* options;  // output options of srec_cat
    };
    const Case cases[] = {
        {0x0C0000, 65536, "-intel"},                         // type 04 records
        {0x0BFFF1, 70000, "-intel -output-block-size=13"},   // across 64 KiB windows
        {0x001234, 40000, "-intel -address-length=2"},       // type 02 segments
        {0x0FFF01, 5000, "-intel -output-block-size=255"},
        {0xF00000, 4096, "-intel -execution-start-address=0xF00000"},  // type 05
    };
    std::mt19937 random(7);
    for (const auto& c : cases) {
        Bytes data(c.size);
        for (auto& b : data) b = static_cast<uint8_t>(random());
        const std::string binary = m_dir.File("data.raw");
        std::ofstream(binary, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        const std::string out = m_dir.File("out.hex");
        char offset[16];
        std::snprintf(offset, sizeof offset, "0x%X", c.base);
        const std::string arguments = binary + " -binary -offset " + offset + " -o " + out + " " + c.options;
        SCOPED_TRACE(arguments);
        ASSERT_EQ(RunSrecCat(arguments), 0);
        m_ui.ClearRecords();
        EXPECT_EQ(m_image.Load(m_ui, out), 1);
        EXPECT_TRUE(m_ui.m_messages.empty());
        const uint32_t end = c.base + static_cast<uint32_t>(c.size);
        for (uint32_t index = 0; index < CMotFile::kPageCount; ++index) {
            const uint32_t pageStart = index * 256;
            const bool touched = pageStart + 256 > c.base && pageStart < end;
            const Bytes page = Page(index);
            ASSERT_EQ(!page.empty(), touched) << std::hex << index;
            for (uint32_t i = 0; touched && i < 256; ++i) {
                const uint32_t address = pageStart + i;
                ASSERT_EQ(page[i], address >= c.base && address < end ? data[address - c.base] : 0xFF)
                    << std::hex << address;
            }
        }
    }
}

}  // namespace
}  // namespace pelican::test
