#pragma once
// Line errors carried in the data stream itself. Not every serial driver
// counts framing, parity and break conditions (pseudo-terminals and several
// USB adapters do not); without a count, a damaged character simply arrives
// as 00 and looks like a good reply. With parity marking on (PARMRK, INPCK,
// no IGNPAR) the terminal marks every damaged character in the stream:
//
//   FF 00 X   the character X arrived with a framing or parity error
//   FF 00 00  a break (or a framing error on a zero character)
//   FF FF     a good FF character, doubled so that it cannot start a mark
//
// The decoder turns that stream back into the characters as received and
// the error bits the marks carried. A mark split between two reads is held
// until the rest arrives.
#include <cstddef>
#include <cstdint>
#include <deque>

namespace pelican {

class CParityMarkDecoder {
public:
    // Appends the received characters to out (a damaged one stays in, as a
    // UART keeps it in its receive register beside the error flag) and
    // returns the LineError bits of the marks decoded.
    uint32_t Decode(const uint8_t* data, size_t length, std::deque<uint8_t>& out);
    // Forgets a mark left half-read (the input was purged).
    void Reset() { m_state = State::kPlain; }
    // True while the start of a mark waits for its remaining bytes.
    bool Pending() const { return m_state != State::kPlain; }

private:
    enum class State { kPlain, kMarked, kError };
    State m_state = State::kPlain;
};

}  // namespace pelican
