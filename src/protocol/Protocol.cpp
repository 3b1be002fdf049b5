#include "protocol/Protocol.h"

#include <algorithm>

namespace pelican::protocol {

uint8_t BaudRateCode(uint32_t baud) {
    switch (baud) {
        case 9600: return kBaud9600;
        case 19200: return kBaud19200;
        case 38400: return kBaud38400;
        case 57600: return kBaud57600;
        case 115200: return kBaud115200;
        default: return kBaudUnknown;
    }
}

uint32_t BaudRateOfCode(uint8_t code) {
    if (code < kBaud9600 || code > kBaud115200) return 0;
    return kBaudRates[code - kBaud9600];
}

uint8_t AddressMiddle(uint32_t address) {
    return static_cast<uint8_t>((address / 256) & 0xFF);
}

uint8_t AddressHigh(uint32_t address) {
    return static_cast<uint8_t>((address / 65536) & 0xFF);
}

Frame ReadStatusFrame() { return {kReadStatus}; }
Frame ClearStatusFrame() { return {kClearStatus}; }
Frame PreEraseFrame() { return {kPreErase}; }
Frame EraseAllFrame() { return {kEraseAll1, kEraseAll2}; }
Frame BaudRateFrame(uint32_t baud) { return {BaudRateCode(baud)}; }
Frame VersionReadFrame() { return {kVersionRead}; }

Frame PageReadFrame(uint32_t address) {
    return {kPageRead, AddressMiddle(address), AddressHigh(address)};
}

// Frames are built at their final size and filled in place.
Frame PageProgramFrame(uint32_t address, const uint8_t* page) {
    Frame frame(kPageProgramFrameLength);
    frame[0] = kPageProgram;
    frame[1] = AddressMiddle(address);
    frame[2] = AddressHigh(address);
    std::copy(page, page + kPageSize, frame.begin() + 3);
    return frame;
}

Frame IdCheckFrame(int mcuType, const uint8_t* id) {
    const uint32_t area = McuMapOf(mcuType).idAddresses[0];
    Frame frame(kIdCheckFrameLength);
    frame[0] = kIdCheck;
    frame[1] = static_cast<uint8_t>(area & 0xFF);
    frame[2] = static_cast<uint8_t>((area >> 8) & 0xFF);
    frame[3] = static_cast<uint8_t>((area >> 16) & 0xFF);
    frame[4] = static_cast<uint8_t>(kIdLength);
    std::copy(id, id + kIdLength, frame.begin() + 5);
    return frame;
}

Frame DownloadFirstFrame(uint32_t size, uint8_t checksum, const uint8_t* page) {
    Frame frame(kDownloadHeaderLength + kPageSize);
    frame[0] = kDownload;
    frame[1] = static_cast<uint8_t>(size & 0xFF);
    frame[2] = static_cast<uint8_t>((size >> 8) & 0xFF);
    frame[3] = checksum;
    std::copy(page, page + kPageSize, frame.begin() + 4);
    return frame;
}

uint8_t DownloadChecksum(const uint8_t* pages, size_t length) {
    uint8_t sum = 0;
    for (size_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + pages[i]);
    return sum;
}

IdState IdStateOf(uint8_t byte2) {
    return static_cast<IdState>((byte2 & kS2IdMask) >> 2);
}

bool IsReady(uint8_t byte1) { return (byte1 & kS1Ready) != 0; }
bool EraseFailed(uint8_t byte1) { return (byte1 & kS1EraseFailed) != 0; }
bool ProgramFailed(uint8_t byte1) { return (byte1 & kS1ProgramFailed) != 0; }

}  // namespace pelican::protocol
