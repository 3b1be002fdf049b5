// Intel HEX and raw binary program files in batch mode, in process against
// the simulated board: they reach the flash as the bytes they hold.
#include <gtest/gtest.h>

#include "support/BatchBench.h"
#include "support/IdFileText.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

TEST(BatchFormats, IntelHexFileIsProgrammedWithTheIdBesideIt) {
    CBatchBench bench;
    // 0C0000: 11 22 33; 0C0100: 44, through an extended linear address record.
    bench.m_dir.Write("prog.hex", ":02000004000CEE\n:0300000011223397\n:0101000044BA\n:00000001FF\n");
    bench.m_dir.Write("prog.id", kIdFile);
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("prog.hex"), "-y", "-i", "0", "epr"}), 0) << bench.m_err;
    EXPECT_EQ(bench.m_out, "information: Program OK.\n");
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 4), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0xFF}));
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0100), 0x44);
}

TEST(BatchFormats, BadIntelHexFileIsRefusedAndNothingIsProgrammed) {
    CBatchBench bench;
    const std::string path = bench.m_dir.File("prog.hex");
    bench.m_dir.Write("prog.id", kIdFile);
    // The fourth line gives 0C0001 a second time.
    bench.m_dir.Write("prog.hex", ":02000004000CEE\n:0300000011223397\n:0101000044BA\n:01000100AA54\n:00000001FF\n");
    EXPECT_EQ(bench.Run({"-f", path, "-y", "-i", "0", "program", "-r", "C0000-C00FF"}), 1);
    EXPECT_EQ(bench.m_out, "exclamation: Address 0C0001 is given a second time in line 4 of " + path +
                               ". Can not accept this file.\n");
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000), 0xFF);

    // A damaged record is told by its line, and --ignore-checksums takes it.
    bench.m_dir.Write("prog.hex", ":02000004000CEE\n:0300000011223397\n:0101000044BB\n:00000001FF\n");
    EXPECT_EQ(bench.Run({"-f", path, "-y", "-i", "0", "program", "-r", "C0000-C00FF"}), 1);
    EXPECT_EQ(bench.m_out, "exclamation: Checksum error in line 3 of " + path +
                               ". Can not accept this file.\n");
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000), 0xFF);
    bench.m_sim.Board().Reset();
    EXPECT_EQ(bench.Run({"-f", path, "--ignore-checksums", "-y", "-i", "0", "epr"}), 0) << bench.m_out;
    EXPECT_EQ(bench.m_out, "information: Program OK.\n");
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0100), 0x44);
}

TEST(BatchFormats, ARefusedOrEmptyFileSendsNoEraseAndNoPage) {
    CBatchBench bench;
    WriteProgramFiles(bench.m_dir);
    // The board passes the ID check and keeps it: start-up takes the ID
    // flag from its status, so only the file can stop what follows.
    ASSERT_EQ(bench.Run({"-f", bench.m_dir.File("prog.mot"), "status"}), 0) << bench.m_out;
    const struct {
        const char* name;
        const char* content;
        std::string told;  // PATH stands for the file's path
    } cases[] = {
        {"bad.mot", "S2060C00001122BA\nS2060C01001G22B9\nS9030000FC\n", "none: Can not accept this file.\n"},
        {"cut.hex", ":02000004000CEE\r\n:0300000011223397\r\n",
         "exclamation: The file ends before its end record (line 2 of PATH). Can not accept this file.\n"},
        {"APP.HEX", ":00000001FF\n", "exclamation: PATH holds no data.\n"},
        {"blank.mot", "S0030000FC\nS9030000FC\n", "exclamation: PATH holds no data.\n"},
        {nullptr, nullptr, "exclamation: No program file is loaded.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name != nullptr ? c.name : "no file");
        std::vector<std::string> args = {"-y", "epr"};
        std::string told = c.told;
        if (c.name != nullptr) {
            const std::string path = bench.m_dir.File(c.name);
            bench.m_dir.Write(c.name, c.content);
            bench.m_dir.Write(std::string(c.name).substr(0, std::string(c.name).find('.')) + ".id", kIdFile);
            args.insert(args.begin(), {"-f", path});
            if (told.find("PATH") != std::string::npos) told.replace(told.find("PATH"), 4, path);
        }
        bench.m_sim.ClearReceived();
        EXPECT_EQ(bench.Run(args), 1);
        EXPECT_EQ(bench.m_out, told);
        for (const auto& frame : bench.m_sim.Board().Frames()) {
            EXPECT_NE(frame.bytes.at(0), 0xA7) << "an erase was sent";
            EXPECT_NE(frame.bytes.at(0), 0x41) << "a page was programmed";
        }
    }
    // Actions that do not use the file still run on an empty one.
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("APP.HEX"), "blank", "-r", "C0000-C00FF"}), 0) << bench.m_out;
    EXPECT_EQ(bench.m_out.find("holds no data"), std::string::npos);
}

TEST(BatchFormats, BinaryFileGoesToTheOffset) {
    const struct {
        std::vector<std::string> offset;
        uint32_t address;
    } cases[] = {{{}, 0x0C0000}, {{"--offset", "0x0C1000"}, 0x0C1000}, {{"--offset", "C0200"}, 0x0C0200}};
    for (const auto& c : cases) {
        CBatchBench bench;
        bench.m_dir.Write("prog.bin", std::string("\x5A\xA5\x01", 3));
        bench.m_dir.Write("prog.id", kIdFile);
        std::vector<std::string> args = {"-f", bench.m_dir.File("prog.bin"), "-y", "-i", "0", "epr"};
        args.insert(args.end(), c.offset.begin(), c.offset.end());
        EXPECT_EQ(bench.Run(args), 0) << bench.m_out << bench.m_err;
        EXPECT_EQ(bench.m_sim.Board().Peek(c.address, 4), (std::vector<uint8_t>{0x5A, 0xA5, 0x01, 0xFF}));
    }
}

TEST(BatchFormats, OffsetMustBeAnAddress) {
    CBatchBench bench;
    for (const char* bad : {"1000000", "xyz", "", "0x"}) EXPECT_EQ(bench.Run({"--offset", bad, "status"}), 2) << bad;
    uint32_t address = 0;
    EXPECT_TRUE(ParseHexAddress("FFFFFF", address));
    EXPECT_EQ(address, 0xFFFFFFu);
}

}  // namespace
}  // namespace pelican::test
