#include "link/ParityMarkDecoder.h"

#include "link/SerialDevice.h"

namespace pelican {

uint32_t CParityMarkDecoder::Decode(const uint8_t* data, size_t length, std::deque<uint8_t>& out) {
    uint32_t errors = 0;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t byte = data[i];
        switch (m_state) {
            case State::kPlain:
                if (byte == 0xFF)
                    m_state = State::kMarked;
                else
                    out.push_back(byte);
                break;
            case State::kMarked:
                if (byte == 0x00) {
                    m_state = State::kError;
                } else {
                    // FF FF is a good FF. FF followed by anything else never
                    // comes from a marking terminal; take both as data.
                    out.push_back(0xFF);
                    if (byte != 0xFF) out.push_back(byte);
                    m_state = State::kPlain;
                }
                break;
            case State::kError:
                // The terminal does not say whether framing or parity failed.
                errors |= byte == 0x00 ? kLineBreak : kLineFraming;
                out.push_back(byte);
                m_state = State::kPlain;
                break;
        }
    }
    return errors;
}

}  // namespace pelican
