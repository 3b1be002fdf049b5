#pragma once
// A noisy serial line: now and then a character arrives with one of its eight
// data bits flipped, as interference on a long or badly screened cable does
// it, while start and stop bits (and so the framing) come through. Seeded, so
// that a run can be repeated byte for byte.
#include <cstdint>
#include <random>

namespace pelican::sim {

class CNoisyLine {
public:
    // rate: the chance of a flipped bit in each character (0 keeps the line
    // clean, 1 flips one bit in every character).
    void Configure(double rate, uint64_t seed);

    // The character as the far end receives it.
    uint8_t Pass(uint8_t byte);
    // How many characters came through with a flipped bit.
    uint64_t Flips() const { return m_flips; }

private:
    std::mt19937_64 m_random;
    uint64_t m_threshold = 0;  // a draw below it flips a bit
    uint64_t m_flips = 0;
};

}  // namespace pelican::sim
