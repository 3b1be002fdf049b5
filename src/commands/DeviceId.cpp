#include "commands/DeviceId.h"

#include "protocol/Protocol.h"

namespace pelican {

uint32_t CDeviceId::IdPage(int mcuType) {
    return protocol::McuMapOf(mcuType).idAddresses[0] & ~uint32_t{0xFF};
}

const std::array<uint8_t, 7>& CDeviceId::Offsets() {
    // The locations' places in the ID page, the same in every map.
    static const std::array<uint8_t, 7> offsets = [] {
        std::array<uint8_t, 7> places{};
        for (size_t i = 0; i < places.size(); ++i)
            places[i] = static_cast<uint8_t>(protocol::kMcuMaps[0].idAddresses[i] & 0xFF);
        return places;
    }();
    return offsets;
}

void CDeviceId::Passed(int mcuType, const Id& id) {
    m_known = true;
    m_guessed = false;
    m_mcuType = mcuType;
    m_id = id;
    m_pending.reset();
}

void CDeviceId::Offered(int mcuType, const Id& id) {
    if (m_known) return;
    m_guessed = true;
    m_mcuType = mcuType;
    m_id = id;
    m_pending.reset();
}

void CDeviceId::Erasing() {
    Id erased;
    erased.fill(0xFF);
    m_pending = erased;
}

void CDeviceId::Sending(uint32_t pageAddress, const uint8_t* page) {
    m_pending.reset();
    if (!Known() || pageAddress != IdPage(m_mcuType)) return;
    // Programming only clears bits: what was there and what is sent.
    Id after = m_id;
    for (size_t i = 0; i < after.size(); ++i) after[i] &= page[Offsets()[i]];
    m_pending = after;
}

void CDeviceId::Taken() {
    if (m_pending) m_id = *m_pending;
    m_pending.reset();
}

std::vector<CDeviceId::Id> CDeviceId::Candidates() const {
    // An erase or a page that went out before the failure most likely
    // reached the flash: the frame was whole on the wire, only its status
    // was lost. Every refused ID is one more the boot loader counts.
    if (!m_pending || *m_pending == m_id) return {m_id};
    return {*m_pending, m_id};
}

}  // namespace pelican
