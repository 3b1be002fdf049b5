#pragma once
// What a UART makes of a character sent in another line format. A receiver
// set to the wrong rate does not simply lose the byte: it starts on the
// falling edge of the start bit, samples in the middle of its own bit cells
// and reports whatever levels it finds there, with a framing error when the
// stop-bit sample is low. Sent faster than it listens, a character often
// fails the start-bit check and vanishes or reads as FF; sent slower, it
// breaks into several zero-heavy characters with framing errors.
#include <cstdint>
#include <vector>

namespace pelican::sim {

struct LineFormat {
    uint32_t baud = 9600;
    uint8_t dataBits = 8;
    uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two

    bool operator==(const LineFormat&) const = default;
};

// One character as the receiver's data register and status bits show it.
struct UartChar {
    uint8_t value = 0;
    bool framingError = false;
    bool parityError = false;

    bool Bad() const { return framingError || parityError; }
};

class CUartModel {
public:
    // The board's own format: 8 data bits, no parity, one stop bit.
    static LineFormat Board(uint32_t baud) { return LineFormat{baud, 8, 0, 0}; }

    // The characters a receiver in format rx takes from one character sent
    // alone on an idle line in format tx.
    static std::vector<UartChar> Transfer(uint8_t byte, const LineFormat& tx, const LineFormat& rx);
};

}  // namespace pelican::sim
