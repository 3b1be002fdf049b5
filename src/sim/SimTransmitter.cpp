#include "sim/SimTransmitter.h"

#include <algorithm>

namespace pelican::sim {
namespace {

uint64_t CeilMs(uint64_t us) {
    return (us + 999) / 1000;
}

}  // namespace

void CSimTransmitter::Send(const std::vector<uint8_t>& bytes, uint32_t baud, uint64_t atMs) {
    if (bytes.empty() || baud == 0) return;
    uint64_t us = std::max(atMs * 1000, m_freeUs);
    // Ten bit times a character: start, eight data bits, stop.
    const uint64_t charUs = m_pace ? (10'000'000 + baud - 1) / baud : 0;
    for (uint8_t byte : bytes) {
        us += charUs;
        m_out.push_back(SimReply{CeilMs(us), byte, baud, false});
    }
    // Without pacing the next reply may not overtake this one either.
    m_freeUs = m_pace ? us : m_out.back().dueMs * 1000;
}

void CSimTransmitter::SendLineError(uint32_t baud, uint64_t atMs) {
    const uint64_t us = std::max(atMs * 1000, m_freeUs);
    m_out.push_back(SimReply{CeilMs(us), 0x00, baud, true});
    m_freeUs = m_out.back().dueMs * 1000;
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
