#pragma once
// The board's address space: the on-chip flash of its device type and the RAM
// that takes a downloaded boot program. Addresses are 24 bits; a read outside
// both areas gives FF, as an unmapped bus does.
//
// The flash is held page by page: a page that reads as erased holds nothing,
// so a board is cheap to build and to erase however large its flash.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "sim/BoardConfig.h"

namespace pelican::sim {

struct MemoryArea {
    uint32_t first = 0;
    uint32_t last = 0;

    bool Contains(uint32_t address) const { return address >= first && address <= last; }
    size_t Size() const { return size_t{last} - first + 1; }
};

class CSimMemory {
public:
    static constexpr size_t kPageSize = 256;
    static constexpr size_t kIdCount = 7;

    explicit CSimMemory(DeviceType type);

    DeviceType Type() const { return m_type; }
    MemoryArea Flash() const { return m_flashArea; }
    // Downloaded boot programs land here, from its first address on.
    static MemoryArea Ram() { return MemoryArea{0x000000, 0x0029FF}; }
    // Where the device keeps its ID bytes; index 0 to 6.
    static uint32_t IdAddress(DeviceType type, size_t index);
    // The start of the ID area an ID check frame must name.
    static uint32_t IdArea(DeviceType type);

    uint8_t Read(uint32_t address) const;
    void ReadPage(uint32_t pageAddress, uint8_t* out) const;
    // A plain store (initial image, downloaded program, tests); false outside
    // both areas.
    bool Write(uint32_t address, uint8_t value);

    // Programs one flash page: a cell only goes from 1 to 0, so the new
    // content is old AND data. A stuck page takes nothing. True when the page
    // reads back exactly as data; false outside flash.
    bool ProgramPage(uint32_t pageAddress, const uint8_t* data, bool stuck);
    // Erases the whole flash to FF except a failing page, which keeps its
    // content. False when a page failed.
    bool EraseFlash(std::optional<uint32_t> failPage);

private:
    using Page = std::array<uint8_t, kPageSize>;
    // The flash page holding address, made (erased) when it holds nothing yet.
    Page& FlashPage(uint32_t address);

    DeviceType m_type;
    MemoryArea m_flashArea;
    std::map<uint32_t, Page> m_flash;  // by page address; absent pages are erased
    std::vector<uint8_t> m_ram;
};

}  // namespace pelican::sim
