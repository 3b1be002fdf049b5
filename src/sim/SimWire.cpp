#include "sim/SimWire.h"

#include <algorithm>

#include "sim/BootLoader.h"

namespace pelican::sim {

uint64_t CSimWire::CharUs(uint32_t baud) {
    return baud == 0 ? 0 : (10'000'000 + baud - 1) / baud;
}

void CSimWire::Send(const uint8_t* data, size_t length, const LineFormat& format, uint64_t nowUs) {
    uint64_t us = std::max(nowUs, m_freeUs);
    const uint64_t charUs = CharUs(format.baud);
    for (size_t i = 0; i < length; ++i) {
        us += charUs;
        m_chars.push_back(WireChar{us, data[i], format});
    }
    m_freeUs = us;
}

std::vector<WireChar> CSimWire::TakeDue(uint64_t nowUs) {
    std::vector<WireChar> due;
    while (!m_chars.empty() && m_chars.front().dueUs <= nowUs) {
        due.push_back(m_chars.front());
        m_chars.pop_front();
    }
    return due;
}

void CSimWire::Deliver(CBootLoader& board, uint64_t nowUs) {
    for (const WireChar& c : TakeDue(nowUs)) board.Receive(&c.byte, 1, c.format, CeilMs(c.dueUs));
}

std::optional<uint64_t> CSimWire::NextDueUs() const {
    if (m_chars.empty()) return std::nullopt;
    return m_chars.front().dueUs;
}

}  // namespace pelican::sim
