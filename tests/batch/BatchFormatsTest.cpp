// Intel HEX and raw binary program files in batch mode, in process against
// the simulated board: they reach the flash as the bytes they hold.
#include <gtest/gtest.h>

#include "support/BatchBench.h"

namespace pelican::test {
namespace {

const char* kIdFile = "FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n";

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
