#pragma once
// Settings records handed to a port. The serial record's four values, in this
// order, are also what the settings file stores for the last working link.
#include <cstdint>

namespace pelican {

class CIoState {
public:
    virtual ~CIoState() = default;
};

class CSerialCommState : public CIoState {
public:
    CSerialCommState() = default;
    CSerialCommState(uint32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits)
        : m_baudRate(baud), m_byteSize(byteSize), m_parity(parity), m_stopBits(stopBits) {}

    uint32_t m_baudRate = 0;
    uint8_t m_byteSize = 0;
    uint8_t m_parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t m_stopBits = 0;  // 0 one, 1 one and a half, 2 two
};

}  // namespace pelican
