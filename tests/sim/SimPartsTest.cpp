// The board's parts: the UART line model, the wire's timing in both
// directions, the memory map, the S-record reader for its initial memory,
// and the options of pelican-sim.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "sim/NoisyLine.h"
#include "sim/SRecordReader.h"
#include "sim/SimCommandLine.h"
#include "sim/SimMemory.h"
#include "sim/SimTransmitter.h"
#include "sim/SimWire.h"
#include "sim/UartModel.h"

namespace pelican::sim {
namespace {

std::vector<uint8_t> Values(const std::vector<UartChar>& chars) {
    std::vector<uint8_t> values;
    for (const auto& c : chars) values.push_back(c.value);
    return values;
}

TEST(UartModel, SameFormatPassesEveryByte) {
    for (uint32_t rate : {9600u, 115200u}) {
        for (int b = 0; b < 256; ++b) {
            const auto got = CUartModel::Transfer(static_cast<uint8_t>(b), CUartModel::Board(rate), CUartModel::Board(rate));
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].value, b);
            EXPECT_FALSE(got[0].Bad());
        }
    }
}

TEST(UartModel, WrongRatesGarbleAsAUartWould) {
    // 115200 into 9600: the start bit is long over at mid-bit; 'V' has bit 5
    // low there and reads as a start bit, then idle: FF. '.' has it high: nothing.
    EXPECT_EQ(Values(CUartModel::Transfer('V', CUartModel::Board(115200), CUartModel::Board(9600))), std::vector<uint8_t>{0xFF});
    EXPECT_TRUE(CUartModel::Transfer('.', CUartModel::Board(115200), CUartModel::Board(9600)).empty());
    // 9600 into 115200: each low stretch is a character of zeros with a
    // framing error; 70 gives two of them.
    const auto slow = CUartModel::Transfer(0x70, CUartModel::Board(9600), CUartModel::Board(115200));
    ASSERT_EQ(slow.size(), 2u);
    for (const auto& c : slow) {
        EXPECT_EQ(c.value, 0x00);
        EXPECT_TRUE(c.framingError);
    }
    // Same rate, but the host adds an even parity bit the board does not
    // expect: the parity bit lands on the stop bit.
    LineFormat even = CUartModel::Board(9600);
    even.parity = 2;
    const auto withParity = CUartModel::Transfer(0x03, even, CUartModel::Board(9600));  // parity bit 0
    ASSERT_EQ(withParity.size(), 1u);
    EXPECT_EQ(withParity[0].value, 0x03);
    EXPECT_TRUE(withParity[0].framingError);
    // And a receiver that checks parity on a frame without one.
    const auto checked = CUartModel::Transfer(0x03, CUartModel::Board(9600), even);  // stop bit read as parity
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_TRUE(checked[0].parityError);
    // No rate, no characters.
    EXPECT_TRUE(CUartModel::Transfer(0x55, CUartModel::Board(0), CUartModel::Board(9600)).empty());
}

TEST(SimLine, CharactersAreDueToTheMicrosecondWithoutRoundingAddingUp) {
    // 259 characters at 115200 bps are 22482.6 us: the last is due after
    // 22483 us, not after 259 rounded character times (22533 us).
    const std::vector<uint8_t> frame(259, 0x41);
    CSimWire wire;
    wire.Send(frame.data(), frame.size(), CUartModel::Board(115200), 1000000);
    EXPECT_EQ(wire.NextDueUs(), 1000087u);
    EXPECT_EQ(wire.FreeUs(), 1022483u);
    EXPECT_EQ(wire.TakeDue(1022482).size(), 258u);
    EXPECT_EQ(wire.TakeDue(1022483).size(), 1u);
    // Sent while the wire is still busy, characters follow back to back.
    wire.Send(frame.data(), 2, CUartModel::Board(115200), 1000000);
    wire.Send(frame.data(), 1, CUartModel::Board(115200), 1000100);
    EXPECT_EQ(wire.FreeUs(), 1022483u + 261u);

    CSimTransmitter out;
    out.Send(std::vector<uint8_t>(256, 0x5A), 9600, 2000000);
    out.Send({0x80, 0x00}, 9600, 2000000);  // queued behind the page
    EXPECT_EQ(out.NextDueUs(), 2001042u);
    EXPECT_EQ(out.LastDueUs(), 2000000u + 268750u);  // 258 characters
    EXPECT_EQ(out.TakeDue(2268749).size(), 257u);
    // After a pause the line starts afresh from the moment of sending.
    out.Clear();
    out.Send({0x70}, 115200, 3000000);
    EXPECT_EQ(out.LastDueUs(), 3000087u);
}

TEST(NoisyLine, FlipsOneBitAtItsRateAndRepeatsWithItsSeed) {
    const auto pass = [](double rate, uint64_t seed, uint64_t& flips) {
        CNoisyLine line;
        line.Configure(rate, seed);
        std::vector<uint8_t> out;
        for (int i = 0; i < 100000; ++i) out.push_back(line.Pass(0x00));
        flips = line.Flips();
        return out;
    };
    uint64_t flips = 0, again = 0, other = 0, none = 0;
    const auto first = pass(0.01, 5, flips);
    EXPECT_EQ(pass(0.01, 5, again), first);
    EXPECT_NE(pass(0.01, 6, other), first);
    EXPECT_EQ(pass(0.0, 5, none), std::vector<uint8_t>(100000, 0x00));
    EXPECT_EQ(none, 0u);
    // About 1000 of the 100000, each one bit off, every bit among them.
    EXPECT_GT(flips, 850u);
    EXPECT_LT(flips, 1150u);
    std::map<uint8_t, int> bits;
    for (const uint8_t byte : first) {
        if (byte == 0) continue;
        EXPECT_EQ(__builtin_popcount(byte), 1);
        ++bits[byte];
    }
    EXPECT_EQ(bits.size(), 8u);
    EXPECT_EQ(std::count_if(first.begin(), first.end(), [](uint8_t b) { return b != 0; }),
              static_cast<std::ptrdiff_t>(flips));
}

TEST(SimMemory, MapsOfBothTypes) {
    CSimMemory sp(DeviceType::OrcaSP);
    EXPECT_EQ(sp.Flash().first, 0x0C0000u);
    EXPECT_EQ(sp.Flash().last, 0x0FFFFFu);
    EXPECT_EQ(CSimMemory::IdArea(DeviceType::OrcaSP), 0x0FFFDFu);
    EXPECT_EQ(CSimMemory::IdAddress(DeviceType::OrcaSP, 6), 0x0FFFFBu);
    EXPECT_TRUE(sp.Write(0x0C0000, 0x12));
    EXPECT_TRUE(sp.Write(0x0029FF, 0x34));
    EXPECT_FALSE(sp.Write(0x002A00, 0x56));
    EXPECT_FALSE(sp.Write(0x100000, 0x56));
    EXPECT_EQ(sp.Read(0x0C0000), 0x12);
    EXPECT_EQ(sp.Read(0x0029FF), 0x34);
    EXPECT_EQ(sp.Read(0x002A00), 0xFF);
    EXPECT_EQ(sp.Read(0xBFFFF), 0xFF);

    CSimMemory w(DeviceType::OrcaW);
    EXPECT_EQ(w.Flash().first, 0xF00000u);
    EXPECT_EQ(w.Flash().last, 0xFFFFFFu);
    EXPECT_EQ(CSimMemory::IdArea(DeviceType::OrcaW), 0xFFFFDFu);
    EXPECT_EQ(CSimMemory::IdAddress(DeviceType::OrcaW, 0), 0xFFFFDFu);
    EXPECT_FALSE(w.Write(0x0C0000, 0x12));
    const std::vector<uint8_t> zeros(256, 0x00);
    EXPECT_TRUE(w.ProgramPage(0xFFFF00, zeros.data(), false));
    EXPECT_FALSE(w.ProgramPage(0x0C0000, zeros.data(), false));
    EXPECT_EQ(w.Read(0xFFFFFF), 0x00);
    EXPECT_TRUE(w.EraseFlash(std::nullopt));
    EXPECT_EQ(w.Read(0xFFFFFF), 0xFF);
}

TEST(SimMemory, PagesKeepTheirContentThroughProgramAndAFailedErase) {
    CSimMemory sp(DeviceType::OrcaSP);
    uint8_t page[256];
    sp.ReadPage(0x0D0000, page);
    EXPECT_EQ(std::vector<uint8_t>(page, page + 256), std::vector<uint8_t>(256, 0xFF));
    // Programming only clears bits: 0F over F0 reads 00 and does not match.
    const std::vector<uint8_t> low(256, 0x0F), high(256, 0xF0);
    EXPECT_TRUE(sp.ProgramPage(0x0C0100, low.data(), false));
    EXPECT_FALSE(sp.ProgramPage(0x0C0100, high.data(), false));
    sp.ReadPage(0x0C0100, page);
    EXPECT_EQ(std::vector<uint8_t>(page, page + 256), std::vector<uint8_t>(256, 0x00));
    EXPECT_FALSE(sp.ProgramPage(0x0C0200, low.data(), true));
    EXPECT_EQ(sp.Read(0x0C0200), 0xFF);
    // A failing erase keeps exactly the failing page.
    EXPECT_TRUE(sp.Write(0x0C0000, 0x12));
    EXPECT_TRUE(sp.Write(0x0FFFFF, 0x34));
    EXPECT_FALSE(sp.EraseFlash(0x0C0180));
    EXPECT_EQ(sp.Read(0x0C0000), 0xFF);
    EXPECT_EQ(sp.Read(0x0FFFFF), 0xFF);
    EXPECT_EQ(sp.Read(0x0C01FF), 0x00);
    // A fail page outside flash fails nothing.
    EXPECT_TRUE(sp.EraseFlash(0xF00000));
    EXPECT_EQ(sp.Read(0x0C0100), 0xFF);
}

TEST(SRecordReader, DataRecordsOfAllThreeAddressSizes) {
    std::map<uint32_t, uint8_t> cells;
    std::string error;
    const auto sink = [&](uint32_t a, uint8_t v) { cells[a] = v; };
    ASSERT_TRUE(CSRecordReader::ReadText("S00600004844521B\r\n"
                                         "S10510000102E7\n"
                                         "\n"
                                         "S2070C000011223386\n"
                                         "S306000C0010AB32\n"
                                         "S9030000FC\n",
                                         sink, error))
        << error;
    EXPECT_EQ(cells, (std::map<uint32_t, uint8_t>{
                         {0x1000, 0x01}, {0x1001, 0x02}, {0x0C0000, 0x11}, {0x0C0001, 0x22}, {0x0C0002, 0x33}, {0x0C0010, 0xAB}}));
}

TEST(SRecordReader, BadRecordNamesItsLineAndLoadsNothing) {
    std::map<uint32_t, uint8_t> cells;
    const auto sink = [&](uint32_t a, uint8_t v) { cells[a] = v; };
    std::string error;
    EXPECT_FALSE(CSRecordReader::ReadText("S10510000102E7\nS10510000102E8\n", sink, error));
    EXPECT_EQ(error, "line 2: checksum error");
    EXPECT_FALSE(CSRecordReader::ReadText("S10610000102E7\n", sink, error));
    EXPECT_EQ(error, "line 1: byte count does not match the record");
    EXPECT_FALSE(CSRecordReader::ReadText(":10000000\n", sink, error));
    EXPECT_EQ(error, "line 1: not an S-record");
    EXPECT_FALSE(CSRecordReader::ReadText("S1051000010ZE7\n", sink, error));
    EXPECT_FALSE(CSRecordReader::ReadText("S4051000010ZE7\n", sink, error));
    EXPECT_FALSE(CSRecordReader::ReadFile("/nonexistent/file.mot", sink, error));
    EXPECT_TRUE(cells.empty());
}

TEST(SimCommandLine, OptionsOfPelicanSim) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(CSimCommandLine::Parse({"--type", "w", "--id=A1:B2:C3:D4:E5:F6:07", "--version-text", "BOOT 2.0",
                                        "--erase-ms", "300", "--no-id-check", "--link", "/tmp/orca"},
                                       options, error))
        << error;
    EXPECT_EQ(options.config.type, DeviceType::OrcaW);
    EXPECT_EQ(options.config.id, (IdBytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07}));
    EXPECT_EQ(options.config.version, "BOOT 2.0");
    EXPECT_EQ(options.config.eraseMs, 300u);
    EXPECT_FALSE(options.config.requireId);
    EXPECT_EQ(options.linkPath, "/tmp/orca");
    EXPECT_FALSE(options.help);

    // A file without --id keeps the file's ID bytes.
    SimOptions fromFile;
    ASSERT_TRUE(CSimCommandLine::Parse({"--srec", "board.mot"}, fromFile, error));
    EXPECT_FALSE(fromFile.config.id.has_value());

    // A board not started in boot mode: silent from the first
    // synchronisation until RESET; one that cannot make 115200 bps.
    SimOptions silent;
    ASSERT_TRUE(CSimCommandLine::Parse({"--silent", "--max-baud", "38400"}, silent, error)) << error;
    EXPECT_EQ(silent.config.faults.silentFrom.command, 0x00);
    EXPECT_EQ(silent.config.faults.silentFrom.occurrence, 1u);
    EXPECT_EQ(silent.config.maxBaud, 38400u);

    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--type", "x"}, {"--id", "01:02"}, {"--id", "0102030405060G"}, {"--erase-ms", "-1"},
             {"--verbose=1"}, {"--link"}, {"--bogus"}, {"--max-baud", "14400"}, {"--silent=1"}}) {
        SimOptions ignored;
        EXPECT_FALSE(CSimCommandLine::Parse(bad, ignored, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
    SimOptions help;
    ASSERT_TRUE(CSimCommandLine::Parse({"--help"}, help, error));
    EXPECT_TRUE(help.help);
}

TEST(SimCommandLine, TheNoisyLineAsOptions) {
    SimOptions clean;
    std::string error;
    ASSERT_TRUE(CSimCommandLine::Parse({}, clean, error));
    EXPECT_EQ(clean.config.faults.noiseRate, 0.0);
    EXPECT_EQ(clean.config.faults.noiseSeed, 1u);
    const struct {
        std::vector<std::string> args;
        double rate;
        uint64_t seed;
    } good[] = {
        {{"--noise", "1.5e-4", "--seed", "42"}, 1.5e-4, 42},
        {{"--noise=0.001", "--seed=18446744073709551615"}, 0.001, 18446744073709551615u},
        {{"--noise", "1"}, 1.0, 1},
        {{"--noise", "0"}, 0.0, 1},
    };
    for (const auto& c : good) {
        SimOptions options;
        ASSERT_TRUE(CSimCommandLine::Parse(c.args, options, error)) << c.args[0] << ": " << error;
        EXPECT_EQ(options.config.faults.noiseRate, c.rate);
        EXPECT_EQ(options.config.faults.noiseSeed, c.seed);
    }
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--noise", "1.5"},
                                                                 {"--noise", "-1e-4"},
                                                                 {"--noise", "often"},
                                                                 {"--noise", "1e-4x"},
                                                                 {"--noise", "nan"},
                                                                 {"--noise"},
                                                                 {"--seed", "-3"},
                                                                 {"--seed", "0x10"},
                                                                 {"--seed", "99999999999999999999"}}) {
        SimOptions ignored;
        error.clear();
        EXPECT_FALSE(CSimCommandLine::Parse(bad, ignored, error)) << bad.back();
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace pelican::sim
