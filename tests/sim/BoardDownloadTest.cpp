// The board's Download and Version read answers, and its initial memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "BoardRig.h"
#include "support/TempDir.h"

namespace pelican::test {
namespace {

using sim::BoardConfig;

Bytes DownloadFrames(const Bytes& program, uint16_t size, uint8_t checksum) {
    Bytes all(4 + program.size());
    all[0] = 0xFA;
    all[1] = static_cast<uint8_t>(size);
    all[2] = static_cast<uint8_t>(size >> 8);
    all[3] = checksum;
    std::copy(program.begin(), program.end(), all.begin() + 4);
    return all;
}

uint8_t Sum(const Bytes& bytes) {
    return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

TEST(BoardDownload, ChecksumDecidesTheAnswerAndTheMatchBit) {
    BoardRig rig;
    rig.bench.PassId();
    Bytes program(512);
    for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<uint8_t>(i * 7 + 3);
    const Bytes frames = DownloadFrames(program, 0x0180, Sum(program));
    // First frame: header and page; then the second page after a pause.
    rig.Send(Bytes(frames.begin(), frames.begin() + 260));
    rig.bench.Clock().Sleep(40);
    EXPECT_EQ(rig.Ask(Bytes(frames.begin() + 260, frames.end()), 2), (Bytes{0x00, 0x00}));
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x1C}));
    EXPECT_EQ(rig.bench.Board().Peek(0x000000, 512), program);

    EXPECT_EQ(rig.Ask(DownloadFrames(program, 0x0180, Sum(program) ^ 1), 2), (Bytes{0x00, 0x01}));
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
}

TEST(BoardDownload, BootProgramAreaTakes42PagesAndNoMore) {
    BoardConfig config;
    config.requireId = false;  // the boot-loader target has no ID exchange
    BoardRig rig(config);
    rig.bench.Synchronise();
    Bytes program(0x2A00, 0x5A);
    EXPECT_EQ(rig.Ask(DownloadFrames(program, 0x2A00, Sum(program)), 2), (Bytes{0x00, 0x00}));
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x10}));
    EXPECT_EQ(rig.bench.Board().Peek(0x0029FF), 0x5A);
    // One page beyond the RAM: "over number of data", not accepted.
    program.resize(0x2B00, 0x5A);
    EXPECT_EQ(rig.Ask(DownloadFrames(program, 0x2B00, Sum(program)), 2), (Bytes{0x00, 0x01}));
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x11}));
    // A size of 0 still brings the one page that travels with the header.
    EXPECT_EQ(rig.Ask(DownloadFrames(Page(0x01), 0, 0x00), 2), (Bytes{0x00, 0x00}));
}

TEST(BoardDownload, StalledTransferTimesOutAndFreesTheLine) {
    BoardRig rig;
    rig.bench.PassId();
    const Bytes frames = DownloadFrames(Bytes(512, 0x01), 0x0200, 0x00);
    rig.Send(Bytes(frames.begin(), frames.begin() + 260));  // cancelled after the first page
    rig.bench.Clock().Sleep(2500);
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0E}));  // data receive timeout
    const auto log = rig.bench.Board().Frames();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_FALSE(log[0].complete);
    EXPECT_EQ(log[0].bytes.size(), 260u);
    EXPECT_EQ(log[1].bytes, Bytes{0x70});
}

TEST(BoardVersion, EightCharactersOfText) {
    BoardRig rig;
    rig.bench.Synchronise();
    const std::string expected = "VER.1.00";
    EXPECT_EQ(rig.Ask({0xFB}, 8), Bytes(expected.begin(), expected.end()));
    for (const auto& [text, answer] : {std::pair<std::string, std::string>{"V2", "V2      "}, {"ABCDEFGHIJ", "ABCDEFGH"}}) {
        BoardConfig config;
        config.version = text;
        BoardRig other(config);
        other.bench.Synchronise();
        EXPECT_EQ(other.Ask({0xFB}, 8), Bytes(answer.begin(), answer.end()));
    }
}

TEST(BoardImage, InitialMemoryFromAnSRecordFile) {
    CTempDir dir;
    // 0C0000: 11 22 33; the ID page of an Orca/S P with ID 0A..
    dir.Write("board.mot",
              "S00600004844521B\n"
              "S2070C000011223386\n"
              "S2050FFFDF0A0B\n"
              "S9030000FC\n");
    BoardConfig config;
    config.srecordFile = dir.File("board.mot");
    config.id.reset();
    sim::CBootLoader board(config);
    // The checksum of the second data record is wrong: nothing is loaded.
    EXPECT_NE(board.LoadError(), "");
    EXPECT_EQ(board.Peek(0x0C0000), 0xFF);

    dir.Write("good.mot",
              "S2070C000011223386\n"
              "S2050FFFDF0A03\n");
    config.srecordFile = dir.File("good.mot");
    sim::CBootLoader good(config);
    EXPECT_EQ(good.LoadError(), "");
    EXPECT_EQ(good.Peek(0x0C0000, 3), (Bytes{0x11, 0x22, 0x33}));
    EXPECT_EQ(good.StoredId()[0], 0x0A);  // the file's ID byte stands
    config.id = sim::IdBytes{1, 2, 3, 4, 5, 6, 7};
    sim::CBootLoader overridden(config);
    EXPECT_EQ(overridden.StoredId()[0], 0x01);
}

}  // namespace
}  // namespace pelican::test
