#pragma once
// What travels between the tool and the device's serial boot loader: command
// codes, baud-rate codes, the frames, the reply lengths, the pauses and the
// meaning of the two status bytes. Everything that talks to the device builds
// its bytes here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelican::protocol {

// Command codes.
constexpr uint8_t kReadStatus = 0x70;
constexpr uint8_t kClearStatus = 0x50;
constexpr uint8_t kPreErase = 0x75;
constexpr uint8_t kEraseAll1 = 0xA7;
constexpr uint8_t kEraseAll2 = 0xD0;
constexpr uint8_t kPageRead = 0xFF;
constexpr uint8_t kPageProgram = 0x41;
constexpr uint8_t kIdCheck = 0xF5;
constexpr uint8_t kDownload = 0xFA;
constexpr uint8_t kVersionRead = 0xFB;
constexpr uint8_t kSyncFill = 0x00;

// Baud-rate codes; a rate the boot loader does not know has code 00, which
// no device echoes.
constexpr uint8_t kBaud9600 = 0xB0;
constexpr uint8_t kBaud19200 = 0xB1;
constexpr uint8_t kBaud38400 = 0xB2;
constexpr uint8_t kBaud57600 = 0xB3;
constexpr uint8_t kBaud115200 = 0xB4;
constexpr uint8_t kBaudUnknown = 0x00;
constexpr std::array<uint32_t, 5> kBaudRates = {9600, 19200, 38400, 57600, 115200};
uint8_t BaudRateCode(uint32_t baud);
// The rate a code stands for, or 0.
uint32_t BaudRateOfCode(uint8_t code);

// Sizes.
constexpr size_t kPageSize = 256;
constexpr size_t kSyncZeros = 16;
constexpr size_t kStatusReplyLength = 2;
constexpr size_t kEchoLength = 1;
constexpr size_t kVersionReplyLength = 8;
constexpr size_t kDownloadReplyLength = 2;
constexpr size_t kIdLength = 7;
constexpr size_t kPageReadFrameLength = 3;
constexpr size_t kPageProgramFrameLength = 3 + kPageSize;
constexpr size_t kIdCheckFrameLength = 5 + kIdLength;
constexpr size_t kDownloadHeaderLength = 4;

// The memory map of each MCU type: its flash, and the seven ID locations
// at the flash's top (each checked byte sits at its own address). mcuType 0
// is Orca/S P, 1 Orca/W.
struct McuMap {
    const char* name;
    uint32_t flashStart;
    uint32_t flashEnd;
    std::array<uint32_t, kIdLength> idAddresses;
};
inline constexpr std::array<McuMap, 2> kMcuMaps = {{
    {"Orca/S P", 0x0C0000, 0x0FFFFF, {0x0FFFDF, 0x0FFFE3, 0x0FFFEB, 0x0FFFEF, 0x0FFFF3, 0x0FFFF7, 0x0FFFFB}},
    {"Orca/W", 0xF00000, 0xFFFFFF, {0xFFFFDF, 0xFFFFE3, 0xFFFFEB, 0xFFFFEF, 0xFFFFF3, 0xFFFFF7, 0xFFFFFB}},
}};
// The map of mcuType; anything but 1 is Orca/S P.
constexpr const McuMap& McuMapOf(int mcuType) {
    return kMcuMaps[mcuType == 1 ? 1 : 0];
}
// The boot loader's download area (RAM) ends below this address.
constexpr uint32_t kDownloadLimit = 0x2C00;

// Pauses (milliseconds) and read time-outs.
constexpr uint32_t kPauseShort = 50;
constexpr uint32_t kPauseSyncByte = 20;
constexpr uint32_t kPauseRecoverySyncByte = 15;
constexpr uint32_t kPauseBaudStep = 1000;
constexpr uint32_t kPauseAfterSync = 1000;
constexpr int32_t kTimeoutStanding = 5000;
constexpr int32_t kTimeoutEraseAll = 40000;
constexpr int32_t kTimeoutPageProgram = 150;
// The pause after each page program frame and each download frame that
// every run starts with; "Set baudrate" may change it for the run.
constexpr int kDefaultProgramInterval = 40;

// Frames. A page is named by its middle and high address bytes.
uint8_t AddressMiddle(uint32_t address);
uint8_t AddressHigh(uint32_t address);
using Frame = std::vector<uint8_t>;
Frame ReadStatusFrame();
Frame ClearStatusFrame();
Frame PreEraseFrame();
Frame EraseAllFrame();
Frame BaudRateFrame(uint32_t baud);
Frame PageReadFrame(uint32_t address);
// page: 256 bytes, lowest address first.
Frame PageProgramFrame(uint32_t address, const uint8_t* page);
// The ID area of mcuType's map, its first location.
Frame IdCheckFrame(int mcuType, const uint8_t* id);
// The first download frame: header and first page; later frames are pages.
Frame DownloadFirstFrame(uint32_t size, uint8_t checksum, const uint8_t* page);
uint8_t DownloadChecksum(const uint8_t* pages, size_t length);
Frame VersionReadFrame();

// Status bytes.
struct Status {
    uint8_t byte1 = 0;
    uint8_t byte2 = 0;
};
constexpr uint8_t kS1Ready = 0x80;        // 1 = ready, 0 = busy
constexpr uint8_t kS1EraseFailed = 0x20;
constexpr uint8_t kS1ProgramFailed = 0x10;
constexpr uint8_t kS1AfterBlock = 0x08;
constexpr uint8_t kS2ChecksumMatch = 0x10;
constexpr uint8_t kS2IdMask = 0x0C;
constexpr uint8_t kS2DataTimeout = 0x02;
constexpr uint8_t kS2OverNumber = 0x01;

enum class IdState { NotTried = 0, Rejected = 1, Undefined = 2, Passed = 3 };
IdState IdStateOf(uint8_t byte2);
bool IsReady(uint8_t byte1);
bool EraseFailed(uint8_t byte1);
bool ProgramFailed(uint8_t byte1);

}  // namespace pelican::protocol
