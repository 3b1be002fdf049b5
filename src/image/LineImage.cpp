#include "image/LineImage.h"

#include <cstring>

namespace pelican {

void CLineImage::FillBlank() {
    std::memset(m_bytes, kBlank, kSize);
}

void CLineImage::Write(const uint8_t* source, uint32_t address, size_t count) {
    const size_t offset = address % kSize;
    if (count > kSize - offset) count = kSize - offset;
    if (count > 0) std::memcpy(m_bytes + offset, source, count);
}

void CLineImage::Read(uint8_t* destination) const {
    std::memcpy(destination, m_bytes, kSize);
}

}  // namespace pelican
