#include "sim/SimTransmitter.h"

#include <algorithm>

#include "sim/SimWire.h"

namespace pelican::sim {

void CSimTransmitter::Send(const std::vector<uint8_t>& bytes, uint32_t baud, uint64_t atUs) {
    if (baud == 0) return;
    for (uint8_t byte : bytes) Queue(byte, baud, atUs, false);
}

void CSimTransmitter::SendLineError(uint32_t baud, uint64_t atUs) {
    // A broken character takes its time on the line like any other.
    if (baud != 0) Queue(0x00, baud, atUs, true);
}

void CSimTransmitter::Queue(uint8_t byte, uint32_t baud, uint64_t atUs, bool lineError) {
    if (atUs > m_freeUs || baud != m_runBaud || m_runChars == 0) {
        m_runStartUs = std::max(atUs, m_freeUs);
        m_runChars = 0;
        m_runBaud = baud;
    }
    m_freeUs = m_runStartUs + CSimWire::LineUs(++m_runChars, baud);
    m_out.push_back(SimReply{m_freeUs, byte, baud, lineError});
}

std::vector<SimReply> CSimTransmitter::TakeDue(uint64_t nowUs) {
    std::vector<SimReply> due;
    while (!m_out.empty() && m_out.front().dueUs <= nowUs) {
        due.push_back(m_out.front());
        m_out.pop_front();
    }
    return due;
}

std::optional<uint64_t> CSimTransmitter::NextDueUs() const {
    if (m_out.empty()) return std::nullopt;
    return m_out.front().dueUs;
}

std::optional<uint64_t> CSimTransmitter::LastDueUs() const {
    if (m_out.empty()) return std::nullopt;
    return m_out.back().dueUs;
}

void CSimTransmitter::Clear() {
    m_out.clear();
    m_runChars = 0;
    m_freeUs = 0;
}

}  // namespace pelican::sim
