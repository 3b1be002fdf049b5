#include "sim/UartModel.h"

#include <algorithm>
#include <bit>

namespace pelican::sim {
namespace {

uint8_t DataBits(const LineFormat& format) {
    return std::clamp<uint8_t>(format.dataBits, 5, 8);
}

uint8_t Mask(uint8_t bits) {
    return static_cast<uint8_t>((1u << bits) - 1u);
}

// The parity bit a transmitter adds for these data bits.
uint8_t ParityBit(uint8_t data, uint8_t parity) {
    const bool oddOnes = (std::popcount(data) & 1) != 0;
    switch (parity) {
        case 1: return oddOnes ? 0 : 1;  // odd: total number of ones odd
        case 2: return oddOnes ? 1 : 0;  // even
        case 3: return 1;                // mark
        default: return 0;               // space
    }
}

// The line levels of one character, one entry per bit cell of the sender.
std::vector<uint8_t> Cells(uint8_t byte, const LineFormat& tx) {
    const uint8_t bits = DataBits(tx);
    const uint8_t data = static_cast<uint8_t>(byte & Mask(bits));
    std::vector<uint8_t> cells;
    cells.push_back(0);  // start bit
    for (uint8_t i = 0; i < bits; ++i) cells.push_back(static_cast<uint8_t>((data >> i) & 1));
    if (tx.parity != 0) cells.push_back(ParityBit(data, tx.parity));
    cells.push_back(1);
    if (tx.stopBits != 0) cells.push_back(1);
    return cells;
}

}  // namespace

std::vector<UartChar> CUartModel::Transfer(uint8_t byte, const LineFormat& tx, const LineFormat& rx) {
    if (tx.baud == 0 || rx.baud == 0) return {};
    const uint8_t rxBits = DataBits(rx);
    if (tx.baud == rx.baud && DataBits(tx) == rxBits && tx.parity == rx.parity)
        return {UartChar{static_cast<uint8_t>(byte & Mask(rxBits)), false, false}};

    const std::vector<uint8_t> cells = Cells(byte, tx);
    auto level = [&](uint64_t cell) -> uint8_t { return cell < cells.size() ? cells[cell] : 1; };
    // The sender's cell under the receiver's sample taken halfBits half
    // receiver-bits after the falling edge at cell `edge`.
    const uint64_t txRate = tx.baud;
    const uint64_t rxRate = rx.baud;
    auto sample = [&](uint64_t edge, uint64_t halfBits) {
        return level(edge + halfBits * txRate / (2 * rxRate));
    };

    std::vector<UartChar> out;
    uint64_t edge = 0;  // the start bit's falling edge
    for (;;) {
        uint64_t lastHalf = 1;
        if (sample(edge, 1) == 0) {  // a start bit that holds till mid-bit
            UartChar got;
            for (uint8_t i = 0; i < rxBits; ++i)
                got.value = static_cast<uint8_t>(got.value | (sample(edge, 3u + 2u * i) << i));
            uint64_t half = 3u + 2u * rxBits;
            if (rx.parity != 0) {
                got.parityError = sample(edge, half) != ParityBit(got.value, rx.parity);
                half += 2;
            }
            got.framingError = sample(edge, half) == 0;
            lastHalf = half;
            out.push_back(got);
        }
        // Hunt the next high-to-low transition after the last sample.
        uint64_t next = edge + lastHalf * txRate / (2 * rxRate) + 1;
        while (next < cells.size() && !(level(next - 1) == 1 && level(next) == 0)) ++next;
        if (next >= cells.size()) break;
        edge = next;
    }
    return out;
}

}  // namespace pelican::sim
