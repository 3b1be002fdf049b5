#pragma once
// One direction of the wire from the host to the board: characters leave the
// sender's UART one after another, each taking ten bit times (start, eight
// data bits, stop) at the sender's rate, and reach the receiver when their
// stop bit has. A frame the host wrote in one call is therefore still
// arriving long after the write returned: 259 bytes take 270 ms at 9600 bps.
// Times are microseconds; a character is 87 us at 115200 bps.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/UartModel.h"

namespace pelican::sim {

class CBootLoader;

// One character on the wire, in the line format it was sent in.
struct WireChar {
    uint64_t dueUs = 0;  // when its stop bit has arrived
    uint8_t byte = 0;
    LineFormat format;
};

class CSimWire {
public:
    // Ten bit times at baud, in microseconds, rounded up.
    static uint64_t CharUs(uint32_t baud);
    // The line time of `chars` characters sent back to back, rounded up once.
    static uint64_t LineUs(uint64_t chars, uint32_t baud);

    // Characters the sender starts to send at nowUs, or when the wire is free.
    void Send(const uint8_t* data, size_t length, const LineFormat& format, uint64_t nowUs);
    // Characters that have arrived by nowUs, oldest first, removed.
    std::vector<WireChar> TakeDue(uint64_t nowUs);
    // Hands the characters that have arrived by nowUs to the board, each at
    // the moment it arrived.
    void Deliver(CBootLoader& board, uint64_t nowUs);
    std::optional<uint64_t> NextDueUs() const;
    // When the last character sent so far has arrived.
    uint64_t FreeUs() const { return m_freeUs; }
    bool Empty() const { return m_chars.empty(); }

private:
    std::deque<WireChar> m_chars;
    // The characters sent back to back since the wire was last idle (see
    // CSimTransmitter).
    uint64_t m_runStartUs = 0;
    uint64_t m_runChars = 0;
    uint32_t m_runBaud = 0;
    uint64_t m_freeUs = 0;
};

// Whole milliseconds, rounded up: on a clock that counts milliseconds, a
// character counts as there only in the millisecond its stop bit has ended.
inline uint64_t CeilMs(uint64_t us) {
    return (us + 999) / 1000;
}

}  // namespace pelican::sim
