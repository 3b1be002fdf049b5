#include "sim/SimWire.h"

#include <algorithm>

#include "sim/BootLoader.h"

namespace pelican::sim {

uint64_t CSimWire::CharUs(uint32_t baud) {
    return LineUs(1, baud);
}

uint64_t CSimWire::LineUs(uint64_t chars, uint32_t baud) {
    return baud == 0 ? 0 : (chars * 10'000'000 + baud - 1) / baud;
}

void CSimWire::Send(const uint8_t* data, size_t length, const LineFormat& format, uint64_t nowUs) {
    if (nowUs > m_freeUs || format.baud != m_runBaud || m_runChars == 0) {
        m_runStartUs = std::max(nowUs, m_freeUs);
        m_runChars = 0;
        m_runBaud = format.baud;
    }
    for (size_t i = 0; i < length; ++i) {
        m_freeUs = m_runStartUs + LineUs(++m_runChars, format.baud);
        m_chars.push_back(WireChar{m_freeUs, data[i], format});
    }
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
    for (const WireChar& c : TakeDue(nowUs)) board.Receive(&c.byte, 1, c.format, c.dueUs);
}

std::optional<uint64_t> CSimWire::NextDueUs() const {
    if (m_chars.empty()) return std::nullopt;
    return m_chars.front().dueUs;
}

}  // namespace pelican::sim
