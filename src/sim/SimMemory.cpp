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

CSimMemory::CSimMemory(DeviceType type) : m_type(type), m_flashArea(FlashOf(type)), m_ram(Ram().Size(), 0x00) {}

uint32_t CSimMemory::IdArea(DeviceType type) {
    return type == DeviceType::OrcaW ? 0xFFFFDF : 0x0FFFDF;
}

uint32_t CSimMemory::IdAddress(DeviceType type, size_t index) {
    const uint32_t page = type == DeviceType::OrcaW ? 0xFFFF00 : 0x0FFF00;
    return page + kIdOffsets[index % kIdCount];
}

CSimMemory::Page& CSimMemory::FlashPage(uint32_t address) {
    const uint32_t page = address & ~uint32_t{kPageSize - 1};
    auto found = m_flash.find(page);
    if (found == m_flash.end()) {
        found = m_flash.emplace(page, Page{}).first;
        found->second.fill(0xFF);
    }
    return found->second;
}

uint8_t CSimMemory::Read(uint32_t address) const {
    if (m_flashArea.Contains(address)) {
        const auto found = m_flash.find(address & ~uint32_t{kPageSize - 1});
        return found == m_flash.end() ? 0xFF : found->second[address % kPageSize];
    }
    if (Ram().Contains(address)) return m_ram[address - Ram().first];
    return 0xFF;
}

void CSimMemory::ReadPage(uint32_t pageAddress, uint8_t* out) const {
    const auto found = m_flash.find(pageAddress);
    if (found != m_flash.end() && m_flashArea.Contains(pageAddress)) {
        std::copy(found->second.begin(), found->second.end(), out);
        return;
    }
    for (uint32_t i = 0; i < kPageSize; ++i) out[i] = Read(pageAddress + i);
}

bool CSimMemory::Write(uint32_t address, uint8_t value) {
    if (m_flashArea.Contains(address)) {
        FlashPage(address)[address % kPageSize] = value;
        return true;
    }
    if (!Ram().Contains(address)) return false;
    m_ram[address - Ram().first] = value;
    return true;
}

bool CSimMemory::ProgramPage(uint32_t pageAddress, const uint8_t* data, bool stuck) {
    if (!m_flashArea.Contains(pageAddress) || !m_flashArea.Contains(pageAddress + kPageSize - 1))
        return false;
    if (stuck) return false;
    Page& page = FlashPage(pageAddress);
    bool same = true;
    for (size_t i = 0; i < kPageSize; ++i) {
        page[i] = static_cast<uint8_t>(page[i] & data[i]);
        same = same && page[i] == data[i];
    }
    return same;
}

bool CSimMemory::EraseFlash(std::optional<uint32_t> failPage) {
    if (!failPage || !m_flashArea.Contains(*failPage)) {
        m_flash.clear();
        return true;
    }
    // The failing page keeps its content; every other page is erased.
    const uint32_t keep = *failPage & ~uint32_t{kPageSize - 1};
    for (auto page = m_flash.begin(); page != m_flash.end();)
        page = page->first == keep ? std::next(page) : m_flash.erase(page);
    return false;
}

}  // namespace pelican::sim
