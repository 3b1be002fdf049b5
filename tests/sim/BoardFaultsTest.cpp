// Faults the board can be told to show, its RESET button, wire pacing, and
// its behaviour under arbitrary input.
#include <gtest/gtest.h>

#include <random>

#include "sim/UartModel.h"
#include "BoardRig.h"

namespace pelican::test {
namespace {

using sim::BoardConfig;
using sim::SimFaults;
using sim::SimTrigger;

TEST(BoardFaults, SilentFromTheThirdPageProgramUntilReset) {
    BoardRig rig;
    rig.bench.PassId();
    SimFaults faults;
    faults.silentFrom = SimTrigger{0x41, 3};
    rig.bench.Board().SetFaults(faults);
    rig.port->SetReadTimeout(150);
    for (uint32_t page = 0; page < 4; ++page) {
        rig.Send(ProgramFrame(0x0C0000 + page * 256, Page(0x00)));
        const Bytes status = rig.Status();
        if (page < 2) {
            EXPECT_EQ(status, (Bytes{0x80, 0x0C})) << page;
        } else {
            EXPECT_TRUE(status.empty()) << page;
            EXPECT_EQ(rig.port->m_timedOut, 1);
        }
    }
    auto& board = rig.bench.Board();
    EXPECT_TRUE(board.Silent());
    EXPECT_EQ(board.Peek(0x0C0100), 0x00);
    EXPECT_EQ(board.Peek(0x0C0200), 0xFF);  // the silent board did not program
    // The wire still carried every byte.
    EXPECT_EQ(board.ReceivedBytes().size(), 4 * (259 + 1));

    // RESET: unsynchronised at 9600, ID state gone, memory kept; the fault
    // has fired and stays quiet.
    rig.bench.Board().Reset();
    EXPECT_FALSE(board.Silent());
    EXPECT_EQ(rig.Ask(Bytes(16, 0x00), 1), Bytes{0xB0});
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x00}));
    EXPECT_EQ(board.Peek(0x0C0100), 0x00);
    rig.bench.PassId();
    rig.Send(ProgramFrame(0x0C0200, Page(0x00)));
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
}

TEST(BoardFaults, NoAnswerToSynchronisation) {
    BoardConfig config;
    config.faults.silentFrom = SimTrigger{0x00, 0};
    BoardRig rig(config);
    rig.port->SetReadTimeout(500);
    EXPECT_TRUE(rig.Ask(Bytes(16, 0x00), 1).empty());
    EXPECT_EQ(rig.port->m_timedOut, 1);
}

TEST(BoardFaults, WrongEchoAndWrongStatusByte) {
    BoardConfig config;
    config.faults.wrongReply = SimTrigger{0xB4, 1};
    config.faults.wrongValue = 0xB3;
    BoardRig rig(config);
    rig.bench.Synchronise();
    EXPECT_EQ(rig.Ask({0xB0}, 1), Bytes{0xB0});
    EXPECT_EQ(rig.Ask({0xB4}, 1), Bytes{0xB3});
    // The board moved all the same, as the code it received told it to.
    EXPECT_EQ(rig.bench.Board().BaudRate(), 115200u);
    rig.port->SetState(CSerialCommState(115200, 8, 0, 0));
    EXPECT_EQ(rig.Ask({0xB4}, 1), Bytes{0xB4});  // only the first time

    SimFaults faults;
    faults.wrongReply = SimTrigger{0x70, 0};
    faults.wrongIndex = 1;
    faults.wrongValue = 0x08;
    rig.bench.Board().SetFaults(faults);
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x08}));
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x08}));
}

TEST(BoardFaults, LateReplyArrivesAfterTheTimeOutAndStaysQueued) {
    BoardConfig config;
    config.faults.lateReply = SimTrigger{0xFB, 0};
    config.faults.lateMs = 700;
    BoardRig rig(config);
    rig.bench.Synchronise();
    rig.port->SetReadTimeout(500);
    rig.Send({0xFB});
    const uint64_t start = rig.bench.Clock().NowMs();
    uint8_t text[8];
    EXPECT_EQ(rig.port->Receive(text, 8), 0);
    EXPECT_EQ(rig.port->m_timedOut, 1);
    EXPECT_EQ(rig.bench.Clock().NowMs() - start, 501u);
    EXPECT_EQ(rig.port->Receive(text, 8), 8);
    // 80 bits at 9600 bps, from the command's stop bit (1.04 ms after the
    // write began; the host's wait for its frame ended at 2 ms).
    EXPECT_EQ(rig.bench.Clock().NowMs() - start, 700u + 8u);
    EXPECT_EQ(std::string(text, text + 8), "VER.1.00");
}

TEST(BoardFaults, LineErrorInsteadOfTheReplyEndsTheReadAtOnce) {
    BoardConfig config;
    config.faults.lineError = SimTrigger{0x70, 2};
    BoardRig rig(config);
    rig.bench.PassId();
    EXPECT_EQ(rig.Status().size(), 2u);
    const uint64_t start = rig.bench.Clock().NowMs();
    EXPECT_TRUE(rig.Status().empty());
    EXPECT_EQ(rig.port->m_timedOut, 0);
    EXPECT_EQ(rig.bench.Clock().NowMs(), start + 3);  // the command and the broken character: 2.1 ms
    EXPECT_EQ(rig.Status(), (Bytes{0x80, 0x0C}));
}

TEST(BoardFaults, ProgramFailureAtOnePageAndIdAlwaysRejected) {
    BoardConfig config;
    config.faults.programFailPage = 0x0C0100;
    BoardRig rig(config);
    rig.bench.PassId();
    rig.Send(ProgramFrame(0x0C0000, Page(0x00)));
    EXPECT_EQ(rig.Status()[0], 0x80);
    // Even an all-FF page into erased flash fails there.
    rig.Send(ProgramFrame(0x0C0100, Page(0xFF)));
    EXPECT_EQ(rig.Status()[0], 0x90);
    rig.Send({0x50});
    rig.Send(ProgramFrame(0x0C0100, Page(0x00)));
    EXPECT_EQ(rig.Status()[0], 0x90);
    EXPECT_EQ(rig.bench.Board().Peek(0x0C0100), 0xFF);

    SimFaults faults;
    faults.rejectId = true;
    rig.bench.Board().SetFaults(faults);
    Bytes id{0xF5, 0xDF, 0xFF, 0x0F, 0x07, 1, 2, 3, 4, 5, 6, 7};
    rig.Send(id);
    EXPECT_EQ(rig.Status()[1], 0x04);
}

TEST(BoardFaults, NoisyLineChangesOneBitOfEveryCharacterItHitsEitherWay) {
    BoardRig rig;
    rig.bench.PassId();
    SimFaults faults;
    faults.noiseRate = 1.0;  // every character
    rig.bench.Board().SetFaults(faults);
    // Host to board: each 00 arrives with one bit set (and means nothing).
    rig.Send(Bytes(64, 0x00));
    const Bytes taken = rig.bench.Board().ReceivedBytes();
    ASSERT_EQ(taken.size(), 64u);
    for (const uint8_t byte : taken) EXPECT_EQ(__builtin_popcount(byte), 1) << int{byte};
    // Board to host: a Version read put in past the line; its reply comes
    // back with one bit off in each of its eight characters.
    const uint8_t version = 0xFB;
    rig.bench.Board().Inject(&version, 1, rig.bench.Clock().NowUs());
    uint8_t reply[8] = {};
    ASSERT_EQ(rig.port->Read(reply, sizeof reply), ReadResult::Ok);
    const std::string sent = "VER.1.00";
    for (size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ(__builtin_popcount(unsigned{reply[i]} ^ static_cast<uint8_t>(sent[i])), 1) << i;
    const sim::SimNoise flips = rig.bench.Board().NoiseFlips();
    EXPECT_EQ(flips.toBoard, 64u);
    EXPECT_EQ(flips.toHost, 8u);
}

TEST(BoardReset, DropsPartialFramesAndRepliesInFlight) {
    BoardConfig config;
    BoardRig rig(config);
    rig.bench.PassId();
    auto& board = rig.bench.Board();
    rig.Send({0x41, 0x00, 0x0C, 0x00, 0x00});  // a page program cut short
    board.Reset();
    EXPECT_FALSE(board.Synchronised());
    EXPECT_EQ(board.BaudRate(), 9600u);
    EXPECT_EQ(board.Status().byte2, 0x00);
    rig.Send(Bytes(16, 0x00));
    rig.Send({0xFB});  // a paced reply of 8 characters, one every 1.04 ms
    rig.port->SetReadTimeout(100);
    uint8_t got[2] = {};
    EXPECT_EQ(rig.port->Receive(got, 2), 2);  // B0 and the first character
    EXPECT_EQ(got[0], 0xB0);
    EXPECT_EQ(got[1], 'V');
    board.Reset();
    EXPECT_EQ(rig.port->Receive(got, 1), 0);  // the rest never left the board
    EXPECT_EQ(rig.port->m_timedOut, 1);
    EXPECT_EQ(board.Peek(0x0C0000), 0xFF);
    const auto frames = board.Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_FALSE(frames.front().complete);
}

TEST(BoardPacing, RepliesTakeTheWiresTime) {
    BoardConfig config;
    BoardRig rig(config);
    rig.bench.PassId();
    uint8_t page[256];
    rig.Send({0xFF, 0x00, 0x0C});
    uint64_t start = rig.bench.Clock().NowMs();
    EXPECT_EQ(rig.port->Receive(page, 256), 256);
    // 2560 bits at 9600 bps (266.7 ms) after the command's 3.1 ms, counted
    // from the end of the host's wait for its frame, rounded up to 4 ms.
    EXPECT_EQ(rig.bench.Clock().NowMs() - start, 266u);
    EXPECT_EQ(rig.Ask({0xB4}, 1).size(), 1u);
    rig.port->SetState(CSerialCommState(115200, 8, 0, 0));
    rig.Send({0xFF, 0x00, 0x0C});
    start = rig.bench.Clock().NowMs();
    EXPECT_EQ(rig.port->Receive(page, 256), 256);
    EXPECT_EQ(rig.bench.Clock().NowMs() - start, 22u);  // 22.5 ms in all, 1 of them the command's
}

// Arbitrary bytes in arbitrary line formats, resets and time jumps: the board
// must neither crash nor stop answering once it is reset.
void Storm(BoardConfig config, uint32_t seed, bool biased) {
    sim::CBootLoader board(std::move(config));
    std::mt19937 engine(seed);
    auto random = [&engine](uint32_t below) { return static_cast<uint32_t>(engine() % below); };
    const uint32_t rates[] = {9600, 19200, 38400, 57600, 115200};
    const uint8_t commands[] = {0x00, 0x70, 0x50, 0x75, 0xA7, 0xD0, 0xFF, 0x41,
                                0xF5, 0xFA, 0xFB, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4};
    sim::LineFormat host = sim::CUartModel::Board(9600);
    uint64_t now = 1000;
    uint64_t lastDue = 0;
    for (int i = 0; i < 200000; ++i) {
        const uint32_t pick = random(1000);
        if (pick == 3) lastDue = 0;  // a reset drops what was in flight
        if (pick < 3) {
            host.baud = rates[random(5)];
            host.dataBits = static_cast<uint8_t>(random(8) == 0 ? 7 : 8);
            host.parity = static_cast<uint8_t>(random(8) == 0 ? random(5) : 0);
        } else if (pick < 4) {
            board.Reset();
        } else if (pick < 10) {
            now += random(3000) * 1000;
        } else if (pick < 30) {
            host.baud = board.BaudRate();
            host.dataBits = 8;
            host.parity = 0;
        }
        uint8_t byte = static_cast<uint8_t>(random(256));
        if (biased && random(4) == 0) byte = commands[random(sizeof commands)];
        board.Receive(&byte, 1, host, now);
        if (random(16) == 0) {
            for (const auto& reply : board.TakeDue(now + random(50) * 1000)) {
                ASSERT_GE(reply.dueUs, lastDue);
                lastDue = reply.dueUs;
            }
        }
    }
    // Still a working board.
    board.Reset();
    board.DiscardReplies();
    const Bytes sync(16, 0x00);
    now += 10000000;
    board.Receive(sync.data(), sync.size(), sim::CUartModel::Board(9600), now);
    const uint8_t status = 0x70;
    board.Receive(&status, 1, sim::CUartModel::Board(9600), now);
    const auto replies = board.TakeDue(now + 100000000);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0].byte, 0xB0);
    EXPECT_EQ(replies[1].byte & 0x80, 0x80);
}

TEST(BoardRobustness, RandomBytesFromPowerUp) {
    Storm(BoardConfig{}, 20240601, false);
}

TEST(BoardRobustness, RandomCommandsWithMemoryOpenOnBothTypes) {
    BoardConfig config;
    config.requireId = false;
    config.keepLog = false;
    Storm(config, 7, true);
    config.type = sim::DeviceType::OrcaW;
    Storm(config, 8, true);
}

}  // namespace
}  // namespace pelican::test
