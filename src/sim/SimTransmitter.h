#pragma once
// The board's UART transmitter: replies leave one character after another,
// each due when its stop bit has left, ten bit times a character at the
// board's rate, as on a real line. Times are microseconds: at 115200 bps a
// character takes 87 us, and whole milliseconds would hold a reply back by
// up to one.
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace pelican::sim {

// One character on its way from the board to the host.
struct SimReply {
    uint64_t dueUs = 0;      // when its stop bit has left the board
    uint8_t byte = 0;
    uint32_t baud = 9600;    // the rate it was sent at, 8N1
    bool lineError = false;  // a framing error in place of a character
};

class CSimTransmitter {
public:
    // Characters that start to leave at atUs, or when the line is free.
    void Send(const std::vector<uint8_t>& bytes, uint32_t baud, uint64_t atUs);
    // A framing error (a broken character) in place of a reply.
    void SendLineError(uint32_t baud, uint64_t atUs);
    // Characters due by nowUs, oldest first, removed.
    std::vector<SimReply> TakeDue(uint64_t nowUs);
    std::optional<uint64_t> NextDueUs() const;
    // When the last character queued so far is due.
    std::optional<uint64_t> LastDueUs() const;
    // Drops everything, as if it had never been sent.
    void Clear();

private:
    void Queue(uint8_t byte, uint32_t baud, uint64_t atUs, bool lineError);

    std::deque<SimReply> m_out;
    // Characters sent back to back since the line was last idle: each is due
    // a whole number of character times after the first started, counted
    // from there so that the rounding of one does not add up over a page.
    uint64_t m_runStartUs = 0;
    uint64_t m_runChars = 0;
    uint32_t m_runBaud = 0;
    uint64_t m_freeUs = 0;  // the line is busy until then
};

}  // namespace pelican::sim
