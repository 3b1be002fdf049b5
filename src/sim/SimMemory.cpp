#include "sim/SimMemory.h"

#include <algorithm>

namespace pelican::sim {
namespace {

// The ID bytes sit at these offsets from the ID area's page.
constexpr uint8_t kIdOffsets[CSimMemory::kIdCount] = {0xDF, 0xE3, 0xEB, 0xEF, 0xF3, 0xF7, 0xFB};

MemoryArea FlashOf(DeviceType type) {
    return type == DeviceType::OrcaW ? MemoryArea{0xF00000, 0xFFFFFF} : MemoryArea{0x0C0000, 0x0FFFFF};
}

}  // namespace

CSimMemory::CSimMemory(DeviceType type)
    : m_type(type),
      m_flashArea(FlashOf(type)),
      m_flash(m_flashArea.Size(), 0xFF),
      m_ram(Ram().Size(), 0x00) {}

uint32_t CSimMemory::IdArea(DeviceType type) {
    return type == DeviceType::OrcaW ? 0xFFFFDF : 0x0FFFDF;
}

uint32_t CSimMemory::IdAddress(DeviceType type, size_t index) {
    const uint32_t page = type == DeviceType::OrcaW ? 0xFFFF00 : 0x0FFF00;
    return page + kIdOffsets[index % kIdCount];
}

uint8_t* CSimMemory::Cell(uint32_t address) {
    if (m_flashArea.Contains(address)) return &m_flash[address - m_flashArea.first];
    if (Ram().Contains(address)) return &m_ram[address - Ram().first];
    return nullptr;
}

uint8_t CSimMemory::Read(uint32_t address) const {
    if (m_flashArea.Contains(address)) return m_flash[address - m_flashArea.first];
    if (Ram().Contains(address)) return m_ram[address - Ram().first];
    return 0xFF;
}

void CSimMemory::ReadPage(uint32_t pageAddress, uint8_t* out) const {
    for (uint32_t i = 0; i < kPageSize; ++i) out[i] = Read(pageAddress + i);
}

bool CSimMemory::Write(uint32_t address, uint8_t value) {
    uint8_t* cell = Cell(address);
    if (cell == nullptr) return false;
    *cell = value;
    return true;
}

bool CSimMemory::ProgramPage(uint32_t pageAddress, const uint8_t* data, bool stuck) {
    if (!m_flashArea.Contains(pageAddress) || !m_flashArea.Contains(pageAddress + kPageSize - 1))
        return false;
    uint8_t* page = &m_flash[pageAddress - m_flashArea.first];
    if (stuck) return false;
    bool same = true;
    for (size_t i = 0; i < kPageSize; ++i) {
        page[i] = static_cast<uint8_t>(page[i] & data[i]);
        same = same && page[i] == data[i];
    }
    return same;
}

bool CSimMemory::EraseFlash(std::optional<uint32_t> failPage) {
    if (!failPage || !m_flashArea.Contains(*failPage)) {
        std::fill(m_flash.begin(), m_flash.end(), 0xFF);
        return true;
    }
    const size_t keepFrom = (*failPage & ~uint32_t{0xFF}) - m_flashArea.first;
    std::fill(m_flash.begin(), m_flash.begin() + static_cast<std::ptrdiff_t>(keepFrom), 0xFF);
    std::fill(m_flash.begin() + static_cast<std::ptrdiff_t>(keepFrom + kPageSize), m_flash.end(), 0xFF);
    return false;
}

}  // namespace pelican::sim
