#include "sim/SimTransmitter.h"

#include <algorithm>

#include "sim/SimWire.h"

namespace pelican::sim {

void CSimTransmitter::Send(const std::vector<uint8_t>& bytes, uint32_t baud, uint64_t atMs) {
    if (baud == 0) return;
    for (uint8_t byte : bytes) Queue(byte, baud, atMs, false);
}

void CSimTransmitter::SendLineError(uint32_t baud, uint64_t atMs) {
    // A broken character takes its time on the line like any other.
    if (baud != 0) Queue(0x00, baud, atMs, true);
}

void CSimTransmitter::Queue(uint8_t byte, uint32_t baud, uint64_t atMs, bool lineError) {
    m_freeUs = std::max(atMs * 1000, m_freeUs) + CSimWire::CharUs(baud);
    m_out.push_back(SimReply{CeilMs(m_freeUs), byte, baud, lineError});
}

std::vector<SimReply> CSimTransmitter::TakeDue(uint64_t nowMs) {
    std::vector<SimReply> due;
    while (!m_out.empty() && m_out.front().dueMs <= nowMs) {
        due.push_back(m_out.front());
        m_out.pop_front();
    }
    return due;
}

std::optional<uint64_t> CSimTransmitter::NextDue() const {
    if (m_out.empty()) return std::nullopt;
    return m_out.front().dueMs;
}

void CSimTransmitter::Clear() {
    m_out.clear();
    m_freeUs = 0;
}

}  // namespace pelican::sim
