#pragma once
// How a simulated board is built: which device it stands for, what its memory
// and ID hold, how long its flash operations take, and which faults it shows.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace pelican::sim {

enum class DeviceType {
    OrcaSP = 0,  // flash 0C0000-0FFFFF, ID area at 0FFFDF
    OrcaW = 1,   // flash F00000-FFFFFF, ID area at FFFFDF
};

using IdBytes = std::array<uint8_t, 7>;

// A command that a fault applies to. The command is a frame's first byte
// (the synchronisation answer counts as command 00); occurrence 0 means every
// time, N means only the N-th time since the faults were set.
struct SimTrigger {
    int command = -1;  // -1: never
    unsigned occurrence = 0;

    bool Matches(uint8_t code, unsigned count) const {
        return command == code && (occurrence == 0 || occurrence == count);
    }
};

struct SimFaults {
    // From this command on the board answers and does nothing at all, like a
    // board that has lost power or crashed, until it is RESET. Fires once.
    SimTrigger silentFrom;
    // The reply byte at wrongIndex goes out as wrongValue.
    SimTrigger wrongReply;
    size_t wrongIndex = 0;
    uint8_t wrongValue = 0x00;
    // The reply goes out lateMs later than it would.
    SimTrigger lateReply;
    uint32_t lateMs = 0;
    // A framing error reaches the host instead of the reply.
    SimTrigger lineError;
    // The reply goes out without its last byte.
    SimTrigger shortReply;
    // On this command the host's cable comes out: the board hears and says
    // nothing, and the host's port fails every call, until Replug.
    SimTrigger unplug;
    // The flash page at this address never takes a program (status bit 4).
    std::optional<uint32_t> programFailPage;
    // Erase all leaves the flash page at this address as it was (status bit 5).
    std::optional<uint32_t> eraseFailPage;
    // Every ID check is rejected, whatever it carries.
    bool rejectId = false;
    // A noisy line: every character, host to board and board to host, has
    // one data bit flipped with this probability. The flips follow
    // noiseSeed, so a run can be repeated.
    double noiseRate = 0.0;
    uint64_t noiseSeed = 1;
};

struct BoardConfig {
    DeviceType type = DeviceType::OrcaSP;
    // Stored at the seven ID addresses after the initial image is loaded;
    // nullopt keeps whatever the image (or erased flash) holds there.
    std::optional<IdBytes> id = IdBytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    // Answer to Version read; cut or padded with spaces to 8 characters.
    std::string version = "VER.1.00";
    // Initial memory from a Motorola S-record file (empty: erased flash).
    std::string srecordFile;
    uint32_t eraseMs = 2000;      // busy time of Erase all
    uint32_t programMs = 2;       // busy time of one page program
    uint32_t replyDelayMs = 0;    // from a command's last byte to its reply
    // The fastest rate the part's clock can make: the code of a faster one
    // is not echoed and the board stays at the rate it has.
    uint32_t maxBaud = 115200;
    // A frame whose next byte takes longer than this is abandoned (a stalled
    // download sets the "data receive timeout" status bit); 0 waits for ever.
    uint32_t frameTimeoutMs = 2000;
    // The memory commands (page read, page program, erase, download) need a
    // passed ID check. The Orca/W boot-loader target takes a download without
    // any ID exchange; a board standing for it sets this to false.
    bool requireId = true;
    // Keep the received-byte and frame logs (tests); a long-running board
    // turns them off.
    bool keepLog = true;
    SimFaults faults;
};

// The board of `pelican --simulate`: an Orca/S P part with ID 01 to 07. One
// board stands for both targets: the Orca/W boot loader takes a download
// without an ID exchange, so the board must too; the memory commands stay
// behind the ID check the main window makes.
inline BoardConfig BuiltInBoard() {
    BoardConfig config;
    config.keepLog = false;
    config.requireId = false;
    return config;
}

}  // namespace pelican::sim
