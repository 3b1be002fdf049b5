#pragma once
// The device side of the serial boot-loader protocol: a stand-in for the
// firmware of an Orca board started in serial boot mode.
//
// After power-up or RESET the board listens at 9600 bps 8N1 and answers
// nothing until it has seen 16 consecutive 00 bytes; then it answers B0 and
// takes commands: baud-rate codes (echoed at the old rate, then the board
// moves to the new one), Read status, Clear status, Pre-erase + Erase all,
// Page read, Page program, ID check, Download and Version read. The memory
// commands are ignored until an ID check has passed.
//
// The board knows nothing about clocks: every byte comes in with the time it
// arrived, and every reply goes out with the time it is due, both in
// microseconds (a character at 115200 bps is 87 us on the line). The links (in
// memory, pseudo-terminal) move bytes both ways and garble them when the two
// ends disagree about the line format. Every public operation takes the
// board's lock, so a link thread and a test (or a RESET button) may share it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/BoardConfig.h"
#include "sim/NoisyLine.h"
#include "sim/SimMemory.h"
#include "sim/SimTransmitter.h"
#include "sim/UartModel.h"

namespace pelican::sim {

// A command frame as the board took it in.
struct SimFrame {
    uint64_t timeUs = 0;          // arrival of its last byte
    std::vector<uint8_t> bytes;
    bool complete = true;         // false: cut off by a stall or a RESET
};

// Characters the noisy line has changed so far, each way.
struct SimNoise {
    uint64_t toBoard = 0;
    uint64_t toHost = 0;
};

// The two status bytes as Read status would answer them now.
struct SimStatus {
    uint8_t byte1 = 0;
    uint8_t byte2 = 0;
};

class CBootLoader {
public:
    static constexpr size_t kSyncZeros = 16;
    static constexpr size_t kVersionLength = 8;

    explicit CBootLoader(BoardConfig config = BoardConfig{});
    CBootLoader(const CBootLoader&) = delete;
    CBootLoader& operator=(const CBootLoader&) = delete;

    // --- the wire ---
    // Bytes the host sent in its line format; whatever the board's UART makes
    // of them at its own rate reaches the boot loader.
    void Receive(const uint8_t* data, size_t length, const LineFormat& sender, uint64_t nowUs);
    // Bytes sent at exactly the board's own rate (test set-up).
    void Inject(const uint8_t* data, size_t length, uint64_t nowUs);
    // Replies due by nowUs, oldest first, removed from the board.
    std::vector<SimReply> TakeDue(uint64_t nowUs);
    // When the next reply character is due, if one is waiting, and when the
    // last one queued so far is.
    std::optional<uint64_t> NextDueUs() const;
    std::optional<uint64_t> LastDueUs() const;
    // Drops every reply on its way, as if it had never been sent.
    void DiscardReplies();
    // The board has one serial connector: a second host cannot attach while
    // one is attached.
    bool AttachHost();
    void DetachHost();

    // --- the device ---
    // The RESET button: unsynchronised at 9600 bps, status and ID state
    // cleared, replies in flight and partial frames dropped; memory kept.
    void Reset();
    bool Synchronised() const;
    uint32_t BaudRate() const;
    SimStatus Status() const;
    // True after a "silent from" fault fired, until RESET.
    bool Silent() const;
    // True after an "unplug" fault fired, until Replug.
    bool Unplugged() const;
    void Replug();
    // The end of the current erase or page program.
    uint64_t BusyUntilUs() const;

    // --- memory (tests and tools look and poke without the wire) ---
    uint8_t Peek(uint32_t address) const;
    std::vector<uint8_t> Peek(uint32_t address, size_t length) const;
    void Poke(uint32_t address, const std::vector<uint8_t>& bytes);
    IdBytes StoredId() const;

    // --- configuration ---
    BoardConfig Config() const;
    // New faults; their occurrence counts start again from zero.
    void SetFaults(const SimFaults& faults);
    // Why the initial S-record file could not be loaded; empty when it was.
    std::string LoadError() const;

    // --- what the board saw ---
    std::vector<uint8_t> ReceivedBytes() const;
    std::vector<SimFrame> Frames() const;
    void ClearLog();
    // Characters the board's UART flagged (framing, parity) and dropped.
    size_t LineErrors() const;
    // Characters the noisy line changed since the faults were set.
    SimNoise NoiseFlips() const;
    // Called, under the board's lock, for every frame taken in; the observer
    // must not call back into the board.
    void SetFrameObserver(std::function<void(const SimFrame&)> observer);

private:
    void TakeByte(uint8_t byte, uint64_t now);
    void TakeUnsynchronised(uint8_t byte, uint64_t now);
    size_t FrameLength() const;
    void Execute(uint64_t now);
    void Abandon(uint64_t now);
    void EraseAll(const std::vector<uint8_t>& frame, bool armed, uint64_t at);
    void PageProgram(const std::vector<uint8_t>& frame, uint64_t at);
    void IdCheck(const std::vector<uint8_t>& frame);
    void Download(const std::vector<uint8_t>& frame, unsigned count, uint64_t at);
    void Answer(uint8_t code, unsigned count, std::vector<uint8_t> bytes, uint64_t at);
    void Log(SimFrame frame);
    // Fires the faults that end the board's part in the exchange (silence,
    // unplug); true when it must not answer.
    bool Stops(uint8_t code, unsigned count);
    bool MemoryAllowed() const;
    void ConfigureNoise();
    uint8_t Byte1() const;
    uint8_t Byte2() const;

    mutable std::mutex m_mutex;
    BoardConfig m_config;
    CSimMemory m_memory;
    std::string m_loadError;

    // Line and protocol state.
    bool m_synchronised = false;
    uint32_t m_baud = 9600;
    size_t m_zeroRun = 0;
    std::vector<uint8_t> m_frame;
    uint64_t m_lastByteUs = 0;
    bool m_eraseArmed = false;
    uint64_t m_busyUntilUs = 0;
    bool m_silent = false;
    bool m_unplugged = false;
    uint8_t m_errors1 = 0;   // status byte 1 error bits
    uint8_t m_flags2 = 0;    // status byte 2 bits other than the ID state
    uint8_t m_idState = 0;   // 0 not tried, 1 rejected, 3 passed
    std::array<unsigned, 256> m_counts{};
    bool m_hostAttached = false;

    CSimTransmitter m_transmitter;
    CNoisyLine m_noiseToBoard;
    CNoisyLine m_noiseToHost;

    // Logs.
    std::vector<uint8_t> m_received;
    std::vector<SimFrame> m_frames;
    size_t m_lineErrors = 0;
    std::function<void(const SimFrame&)> m_observer;
};

}  // namespace pelican::sim
