#pragma once
// The board's UART transmitter: replies leave one character after another,
// each due when its stop bit has left, ten bit times a character at the
// board's rate, as on a real line.
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace pelican::sim {

// One character on its way from the board to the host.
struct SimReply {
    uint64_t dueMs = 0;      // when its stop bit has left the board
    uint8_t byte = 0;
    uint32_t baud = 9600;    // the rate it was sent at, 8N1
    bool lineError = false;  // a framing error in place of a character
};

class CSimTransmitter {
public:
    // Characters that start to leave at atMs, or when the line is free.
    void Send(const std::vector<uint8_t>& bytes, uint32_t baud, uint64_t atMs);
    // A framing error (a broken character) in place of a reply.
    void SendLineError(uint32_t baud, uint64_t atMs);
    // Characters due by nowMs, oldest first, removed.
    std::vector<SimReply> TakeDue(uint64_t nowMs);
    std::optional<uint64_t> NextDue() const;
    // Drops everything, as if it had never been sent.
    void Clear();

private:
    void Queue(uint8_t byte, uint32_t baud, uint64_t atMs, bool lineError);

    std::deque<SimReply> m_out;
    uint64_t m_freeUs = 0;  // the line is busy until then
};

}  // namespace pelican::sim
