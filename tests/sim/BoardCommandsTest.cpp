// The simulated board's answer to every command of the boot-loader protocol,
// spoken through the real port logic over the in-memory link on the virtual
// clock.
#include <gtest/gtest.h>

#include "BoardRig.h"
#include "support/FrameEncoder.h"

namespace pelican::test {
namespace {

using sim::BoardConfig;
using sim::DeviceType;

const Bytes kOwnId{1, 2, 3, 4, 5, 6, 7};

TEST(BoardSync, SixteenZerosInARowSynchroniseAndTheBoardAnswersB0) {
    BoardRig rig;
    rig.port->SetReadTimeout(300);
    // Unsynchronised: commands and baud codes fall on deaf ears.
    EXPECT_TRUE(rig.Status().empty());
    EXPECT_EQ(rig.port->m_timedOut, 1);
    EXPECT_TRUE(rig.Ask({0xB0}, 1).empty());
    // A run broken by another byte starts again.
    rig.Send(Bytes(15, 0x00));
    rig.Send({0x01});
    rig.Send(Bytes(15, 0x00));
    EXPECT_TRUE(rig.Ask({}, 1).empty());
    EXPECT_FALSE(rig.bench.Board().Synchronised());
    EXPECT_EQ(rig.Ask({0x00}, 1), Bytes{0xB0});
    // Zeros while synchronised are fill: no second answer.
    rig.Send(Bytes(40, 0x00));
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x00}));
    EXPECT_EQ(rig.bench.Board().BaudRate(), 9600u);
}

TEST(BoardSync, StartUpSequenceGetsOneB0WhetherOrNotTheBoardWasSynchronised) {
    for (bool already : {false, true}) {
        BoardRig rig;
        if (already) rig.bench.Synchronise();
        // B0, then sixteen zeros with a 20 ms pause after each, then one byte.
        rig.Send({0xB0});
        rig.bench.Clock().Sleep(50);
        for (int i = 0; i < 16; ++i) {
            rig.Send({0x00});
            rig.bench.Clock().Sleep(20);
        }
        EXPECT_EQ(rig.Ask({}, 1), Bytes{0xB0}) << "already synchronised: " << already;
        rig.port->SetReadTimeout(100);
        EXPECT_TRUE(rig.Ask({}, 1).empty()) << "exactly one answer";
        EXPECT_EQ(rig.bench.Received(), wire::Sync());
    }
}

TEST(BoardBaud, TwoStepChangeEchoesAtTheOldRateThenAtTheNewOne) {
    BoardRig rig;
    rig.bench.Synchronise();
    auto& board = rig.bench.Board();
    EXPECT_EQ(rig.Ask({0xB0}, 1), Bytes{0xB0});
    EXPECT_EQ(board.BaudRate(), 9600u);
    EXPECT_EQ(rig.Ask({0xB4}, 1), Bytes{0xB4});  // echoed at 9600
    EXPECT_EQ(board.BaudRate(), 115200u);
    rig.port->SetState(CSerialCommState(115200, 8, 0, 0));
    EXPECT_EQ(rig.Ask({0xB4}, 1), Bytes{0xB4});
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x00}));

    // Codes outside the table are not echoed and change nothing.
    rig.port->SetReadTimeout(200);
    EXPECT_TRUE(rig.Ask({0xB5}, 1).empty());
    EXPECT_TRUE(rig.Ask({0x00}, 1).empty());
    EXPECT_EQ(board.BaudRate(), 115200u);

    // A host at the wrong rate is not understood: the board's UART drops the
    // garbled characters and nothing comes back.
    rig.port->SetState(CSerialCommState(9600, 8, 0, 0));
    board.ClearLog();
    EXPECT_TRUE(rig.Status().empty());
    EXPECT_EQ(rig.port->m_timedOut, 1);
    EXPECT_TRUE(board.ReceivedBytes().empty());
    EXPECT_GT(board.LineErrors(), 0u);

    // Back down the same way: code of 9600 at 115200, then at 9600.
    rig.port->SetState(CSerialCommState(115200, 8, 0, 0));
    EXPECT_EQ(rig.Ask({0xB0}, 1), Bytes{0xB0});
    rig.port->SetState(CSerialCommState(9600, 8, 0, 0));
    EXPECT_EQ(rig.Ask({0xB0}, 1), Bytes{0xB0});
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x00}));
    EXPECT_EQ(board.ReceivedBytes(), (Bytes{0xB0, 0xB0, 0x70}));
}

TEST(BoardBaud, ARateAboveTheFastestThePartMakesIsNotEchoed) {
    sim::BoardConfig config;
    config.maxBaud = 57600;
    BoardRig rig(config);
    rig.bench.Synchronise();
    rig.port->SetReadTimeout(200);
    EXPECT_TRUE(rig.Ask({0xB4}, 1).empty());
    EXPECT_EQ(rig.bench.Board().BaudRate(), 9600u);
    EXPECT_EQ(rig.Ask({0xB3}, 1), Bytes{0xB3});
    EXPECT_EQ(rig.bench.Board().BaudRate(), 57600u);
}

TEST(BoardBaud, EchoReadAfterTheHostMovedTooEarlyIsALineError) {
    BoardConfig config;
    BoardRig rig(config);
    rig.bench.Synchronise();
    rig.Send({0xB3});  // echo goes out at 9600
    rig.port->SetState(CSerialCommState(57600, 8, 0, 0));
    const uint64_t before = rig.bench.Clock().NowMs();
    uint8_t echo = 0;
    EXPECT_EQ(rig.port->Receive(&echo, 1), 0);
    EXPECT_EQ(rig.port->m_timedOut, 0);
    EXPECT_LE(rig.bench.Clock().NowMs(), before + 2);  // no waiting for the time-out
}

TEST(BoardStatus, ProgramFailureSetsBit4AndClearStatusKeepsTheIdState) {
    BoardRig rig;
    rig.bench.PassId();
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
    rig.Send(ProgramFrame(0x0C0000, Page(0x00)));
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
    // Flash cells only go from 1 to 0: FF over 00 does not read back.
    rig.Send(ProgramFrame(0x0C0000, Page(0xFF)));
    EXPECT_EQ(rig.Status(), (Bytes{0x90, 0x0C}));
    EXPECT_EQ(rig.bench.Board().Peek(0x0C0000, 4), Bytes(4, 0x00));
    rig.Send({0x50});
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
}

TEST(BoardProgram, NewContentIsOldAndData) {
    BoardRig rig;
    rig.bench.PassId();
    Bytes first = Page(0xFF);
    first[0] = 0xF0;
    first[255] = 0x3C;
    rig.Send(ProgramFrame(0x0C1200, first));
    EXPECT_EQ(rig.Status()[0], 0x80);
    Bytes second = Page(0xFF);
    second[0] = 0x0F;
    rig.Send(ProgramFrame(0x0C1200, second));
    EXPECT_EQ(rig.Status()[0], 0x90);  // 00 is not what was asked for
    const Bytes page = rig.Ask({0xFF, 0x12, 0x0C}, 256);
    ASSERT_EQ(page.size(), 256u);
    EXPECT_EQ(page[0], 0x00);
    EXPECT_EQ(page[1], 0xFF);
    EXPECT_EQ(page[255], 0x3C);
    // Outside the flash nothing can be programmed.
    rig.Send({0x50});
    rig.Send(ProgramFrame(0x200000, Page(0x00)));
    EXPECT_EQ(rig.Status()[0], 0x90);
    rig.Send({0x50});
    rig.Send(ProgramFrame(0x000000, Page(0x00)));  // RAM is not flash
    EXPECT_EQ(rig.Status()[0], 0x90);
}

TEST(BoardErase, StatusWaitsForTheEraseAndTheFlashReadsFF) {
    BoardConfig config;
    config.eraseMs = 2000;
    BoardRig rig(config);
    rig.bench.PassId();
    auto& board = rig.bench.Board();
    board.Poke(0x0C0000, {0x12, 0x34});
    board.Poke(0x0FFF00, {0x56});
    rig.Send({0x50});
    rig.Send({0x75});
    rig.Send({0xA7, 0xD0});
    rig.port->SetReadTimeout(40000);
    const uint64_t start = rig.bench.Clock().NowMs();
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
    // The erase from the last stop bit of its frame, then the two status
    // characters at 9600 bps (2.1 ms), counted from the end of the host's
    // whole-millisecond wait for its frame.
    EXPECT_EQ(rig.bench.Clock().NowMs() - start, 2000u + 2u);
    EXPECT_EQ(board.Peek(0x0C0000, 2), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(board.Peek(0x0FFF00), 0xFF);
    // The ID lives in the flash, so it is gone too; the passed check stays.
    EXPECT_EQ(board.StoredId(), (sim::IdBytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(BoardErase, ReadDuringTheEraseIsAnsweredWhenItEnds) {
    BoardRig rig;
    rig.bench.PassId();
    rig.bench.Board().Poke(0x0C0000, {0x00});
    rig.Send({0x75});
    rig.Send({0xA7, 0xD0});
    const uint64_t start = rig.bench.Clock().NowMs();
    const Bytes page = rig.Ask({0xFF, 0x00, 0x0C}, 256);
    ASSERT_EQ(page.size(), 256u);
    EXPECT_EQ(page[0], 0xFF);
    EXPECT_EQ(rig.bench.Clock().NowMs() - start, 2000u + 266u);  // and 2560 bits at 9600 bps
}

TEST(BoardErase, WithoutPreEraseOrWithAFailingPageBit5IsSet) {
    BoardConfig config;
    config.faults.eraseFailPage = 0x0C0300;
    BoardRig rig(config);
    rig.bench.PassId();
    auto& board = rig.bench.Board();
    board.Poke(0x0C0000, {0x00});
    board.Poke(0x0C0300, {0x11, 0x22});
    // Erase all without Pre-erase directly before it is refused.
    rig.Send({0x75});
    rig.Send({0x50});
    rig.Send({0xA7, 0xD0});
    EXPECT_EQ(rig.Status(), (Bytes{0xA0, 0x0C}));
    EXPECT_EQ(board.Peek(0x0C0000), 0x00);
    // A page that will not erase keeps its content.
    rig.Send({0x50});
    rig.Send({0x75});
    rig.Send({0xA7, 0xD0});
    rig.port->SetReadTimeout(40000);
    EXPECT_EQ(rig.Status(), (Bytes{0xA0, 0x0C}));
    EXPECT_EQ(board.Peek(0x0C0000), 0xFF);
    EXPECT_EQ(board.Peek(0x0C0300, 2), (Bytes{0x11, 0x22}));
    // A7 followed by anything but D0 is no erase at all.
    board.Poke(0x0C0000, {0x00});
    rig.Send({0x50});
    rig.Send({0x75});
    rig.Send({0xA7, 0x70});
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
    EXPECT_EQ(board.Peek(0x0C0000), 0x00);
}

TEST(BoardPageRead, MiddleThenHighByteAndFFOutsideTheMap) {
    BoardRig rig;
    rig.bench.PassId();
    auto& board = rig.bench.Board();
    board.Poke(0x0C0000, {1, 2, 3});
    board.Poke(0x0C01FF, {9});
    Bytes page = rig.Ask({0xFF, 0x00, 0x0C}, 256);
    ASSERT_EQ(page.size(), 256u);
    EXPECT_EQ(Bytes(page.begin(), page.begin() + 4), (Bytes{1, 2, 3, 0xFF}));
    EXPECT_EQ(rig.Ask({0xFF, 0x01, 0x0C}, 256).back(), 9);
    EXPECT_EQ(rig.Ask({0xFF, 0xFF, 0xFF}, 256), Page(0xFF));  // nothing there on an Orca/S P
    EXPECT_EQ(rig.Ask({0xFF, 0x00, 0x20}, 256), Page(0xFF));
    EXPECT_EQ(rig.Ask({0xFF, 0x00, 0x00}, 256), Page(0x00));  // RAM
}

TEST(BoardMemoryCommands, IgnoredUntilTheIdCheckPassedButWholeFramesAreConsumed) {
    BoardRig rig;
    rig.bench.Synchronise();
    auto& board = rig.bench.Board();
    rig.port->SetReadTimeout(300);
    // Page data full of 70s must not be taken for status reads.
    rig.Send(ProgramFrame(0x0C0000, Page(0x70)));
    rig.Send({0x75});
    board.Poke(0x0C0100, {0x00});
    rig.Send({0xA7, 0xD0});
    Bytes download{0xFA, 0x00, 0x01, 0x00};
    download.insert(download.end(), 256, 0x70);
    rig.Send(download);
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x00}));
    EXPECT_TRUE(rig.Ask({0xFF, 0x00, 0x0C}, 256).empty());
    EXPECT_EQ(rig.port->m_timedOut, 1);
    EXPECT_EQ(board.Peek(0x0C0000), 0xFF);
    EXPECT_EQ(board.Peek(0x0C0100), 0x00);
    EXPECT_EQ(board.Peek(0x000000), 0x00);
    // A rejected ID does not open them either.
    rig.Send(IdFrame(0x0FFFDF, {1, 2, 3, 4, 5, 6, 8}));
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x04}));
    EXPECT_TRUE(rig.Ask({0xFF, 0x00, 0x0C}, 256).empty());
    rig.Send(IdFrame(0x0FFFDF, kOwnId));
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
    EXPECT_EQ(rig.Ask({0xFF, 0x01, 0x0C}, 256)[0], 0x00);
}

TEST(BoardIdCheck, EachFamilyAcceptsOnlyItsOwnAreaAndBytes) {
    struct Case {
        DeviceType type;
        uint32_t own;
        uint32_t other;
    };
    for (const Case& c : {Case{DeviceType::OrcaSP, 0x0FFFDF, 0xFFFFDF}, Case{DeviceType::OrcaW, 0xFFFFDF, 0x0FFFDF}}) {
        BoardConfig config;
        config.type = c.type;
        BoardRig rig(config);
        rig.bench.Synchronise();
        SCOPED_TRACE(static_cast<int>(c.type));
        rig.Send(IdFrame(c.own, kOwnId));
        EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
        rig.Send(IdFrame(c.own, {1, 2, 3, 4, 5, 6, 0}));
        EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x04}));
        rig.Send(IdFrame(c.other, kOwnId));
        EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x04}));
        rig.Send(IdFrame(c.own, {1, 2, 3, 4, 5, 6}));  // length 6
        EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x04}));
        rig.Send(IdFrame(c.own, kOwnId));
        EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
        // The check reads the ID locations of the memory as they are now.
        rig.bench.Board().Poke(sim::CSimMemory::IdAddress(c.type, 6), {0x77});
        rig.Send(IdFrame(c.own, kOwnId));
        EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x04}));
        rig.Send(IdFrame(c.own, {1, 2, 3, 4, 5, 6, 0x77}));
        EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
        EXPECT_EQ(rig.bench.Board().Peek(c.own), 0x01);
    }
}

TEST(BoardIdCheck, IdStoredAtTheSevenAddressesOfTheType) {
    BoardConfig config;
    config.type = DeviceType::OrcaW;
    config.id = sim::IdBytes{0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
    sim::CBootLoader board(config);
    const uint32_t addresses[] = {0xFFFFDF, 0xFFFFE3, 0xFFFFEB, 0xFFFFEF, 0xFFFFF3, 0xFFFFF7, 0xFFFFFB};
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(board.Peek(addresses[i]), 0xA1 + i);
    EXPECT_EQ(board.Peek(0xFFFFE0), 0xFF);
}

}  // namespace
}  // namespace pelican::test
