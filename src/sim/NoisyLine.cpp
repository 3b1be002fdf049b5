#include "sim/NoisyLine.h"

#include <limits>

namespace pelican::sim {

void CNoisyLine::Configure(double rate, uint64_t seed) {
    m_random.seed(seed);
    m_flips = 0;
    // The draw is compared as an integer so that a given seed gives the same
    // bytes with every standard library (the distributions' algorithms are
    // not fixed by the language).
    const double scale = static_cast<double>(std::numeric_limits<uint64_t>::max());
    m_threshold = rate <= 0.0 ? 0 : rate >= 1.0 ? std::numeric_limits<uint64_t>::max()
                                                : static_cast<uint64_t>(rate * scale);
}

uint8_t CNoisyLine::Pass(uint8_t byte) {
    if (m_threshold == 0) return byte;
    const uint64_t draw = m_random();
    if (draw >= m_threshold && m_threshold != std::numeric_limits<uint64_t>::max()) return byte;
    ++m_flips;
    // The bit comes from the high bits of a second draw, which are
    // independent of the first draw's comparison.
    const auto bit = static_cast<unsigned>(m_random() >> 61);
    return static_cast<uint8_t>(byte ^ (1u << bit));
}

}  // namespace pelican::sim
