// Every frame of the boot-loader protocol, byte for byte.
#include <gtest/gtest.h>

#include <numeric>

#include "protocol/Protocol.h"

namespace pelican::protocol {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ProtocolFrames, ARateOutsideTheTableGoesOutAs00) {
    // No device echoes 00, so the change fails instead of moving the board.
    for (uint32_t odd : {0u, 4800u, 14400u, 230400u, 0xFFFFFFFFu}) EXPECT_EQ(BaudRateFrame(odd), Bytes{0x00});
    EXPECT_EQ(BaudRateOfCode(0x00), 0u);
    EXPECT_EQ(BaudRateOfCode(0xB5), 0u);
}

TEST(ProtocolFrames, PageReadNamesMiddleThenHighByte) {
    EXPECT_EQ(PageReadFrame(0x0C0000), (Bytes{0xFF, 0x00, 0x0C}));
    EXPECT_EQ(PageReadFrame(0xFFFF00), (Bytes{0xFF, 0xFF, 0xFF}));
    // Bits 0 to 7 never travel; bits above 23 are dropped.
    EXPECT_EQ(PageReadFrame(0x0C01FF), (Bytes{0xFF, 0x01, 0x0C}));
    EXPECT_EQ(PageReadFrame(0x12345678), (Bytes{0xFF, 0x56, 0x34}));
}

TEST(ProtocolFrames, PageProgramIsAlways259Bytes) {
    uint8_t page[kPageSize];
    std::fill(std::begin(page), std::end(page), 0xFF);
    page[0] = 0x12;
    page[255] = 0x34;
    const Frame frame = PageProgramFrame(0x0FFF00, page);
    ASSERT_EQ(frame.size(), 259u);
    EXPECT_EQ(frame[0], 0x41);
    EXPECT_EQ(frame[1], 0xFF);
    EXPECT_EQ(frame[2], 0x0F);
    EXPECT_EQ(frame[3], 0x12);
    EXPECT_EQ(frame[258], 0x34);
    EXPECT_EQ(frame[100], 0xFF);
}

TEST(ProtocolFrames, IdCheckAddressesBothFamilies) {
    const uint8_t id[kIdLength] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(IdCheckFrame(0, id), (Bytes{0xF5, 0xDF, 0xFF, 0x0F, 0x07, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(IdCheckFrame(1, id), (Bytes{0xF5, 0xDF, 0xFF, 0xFF, 0x07, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(IdCheckFrame(0, id).size(), kIdCheckFrameLength);
}

TEST(ProtocolFrames, DownloadHeaderAndChecksum) {
    uint8_t page[kPageSize];
    std::iota(std::begin(page), std::end(page), 0);
    // 0 + 1 + ... + 255 = 32640 = 0x7F80: low byte 80.
    EXPECT_EQ(DownloadChecksum(page, kPageSize), 0x80);
    const Frame frame = DownloadFirstFrame(0x2A00, 0x80, page);
    ASSERT_EQ(frame.size(), 260u);
    EXPECT_EQ(frame[0], 0xFA);
    EXPECT_EQ(frame[1], 0x00);  // size low byte first
    EXPECT_EQ(frame[2], 0x2A);
    EXPECT_EQ(frame[3], 0x80);
    EXPECT_EQ(frame[4], 0x00);
    EXPECT_EQ(frame[259], 0xFF);
    // Sizes above 16 bits keep their low 16 bits.
    EXPECT_EQ(DownloadFirstFrame(0x10100, 0, page)[1], 0x00);
    EXPECT_EQ(DownloadFirstFrame(0x10100, 0, page)[2], 0x01);
}

TEST(ProtocolStatus, IdBitsAndResultBits) {
    EXPECT_EQ(IdStateOf(0x0C), IdState::Passed);
    EXPECT_EQ(IdStateOf(0x04), IdState::Rejected);
    EXPECT_EQ(IdStateOf(0x00), IdState::NotTried);
    EXPECT_EQ(IdStateOf(0x08), IdState::Undefined);
    EXPECT_EQ(IdStateOf(0xFF), IdState::Passed);
    EXPECT_TRUE(IsReady(0x80));
    EXPECT_FALSE(IsReady(0x7F));
    EXPECT_TRUE(EraseFailed(0xA0));
    EXPECT_FALSE(EraseFailed(0x90));
    EXPECT_TRUE(ProgramFailed(0x90));
    EXPECT_FALSE(ProgramFailed(0xA0));
}

}  // namespace
}  // namespace pelican::protocol
