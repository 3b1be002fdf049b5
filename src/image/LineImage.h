#pragma once
// One 256-byte page of the program image. The device programs and reads its
// flash a page at a time, so the image is kept in the same unit. A byte that
// the file does not give stays 0xFF, the state of erased flash.
#include <cstddef>
#include <cstdint>

namespace pelican {

class CLineImage {
public:
    static constexpr size_t kSize = 256;
    static constexpr uint8_t kBlank = 0xFF;

    // A new page is blank.
    CLineImage() { FillBlank(); }

    // Sets all 256 bytes to 0xFF.
    void FillBlank();
    // Copies count bytes from source into the page from offset address mod 256
    // on. The caller keeps offset + count within the page; a run that would
    // pass the page's end is cut at the end.
    void Write(const uint8_t* source, uint32_t address, size_t count);
    // Copies all 256 bytes out.
    void Read(uint8_t* destination) const;

    const uint8_t* Bytes() const { return m_bytes; }

private:
    uint8_t m_bytes[kSize];
};

// The image allocates one page object per touched page; nothing but the
// bytes may live in it.
static_assert(sizeof(CLineImage) == CLineImage::kSize);

}  // namespace pelican
