#pragma once
// A board on the bench with a host port at 9600 bps, and the frames the
// board tests send.
#include <memory>

#include "support/SimBench.h"

namespace pelican::test {

struct BoardRig {
    explicit BoardRig(sim::BoardConfig config = sim::BoardConfig{})
        : bench(std::move(config)), port(bench.OpenPort()) {}
    Bytes Ask(const Bytes& frame, size_t replyLength) { return Exchange(*port, frame, replyLength); }
    void Send(const Bytes& frame) { Exchange(*port, frame, 0); }
    Bytes Status() { return Ask({0x70}, 2); }

    CSimBench bench;
    std::unique_ptr<CSerialComm> port;
};

inline Bytes Page(uint8_t fill) {
    return Bytes(256, fill);
}

inline Bytes ProgramFrame(uint32_t address, const Bytes& page) {
    Bytes frame{0x41, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address >> 16)};
    frame.insert(frame.end(), page.begin(), page.end());
    return frame;
}

inline Bytes IdFrame(uint32_t area, const Bytes& id) {
    Bytes frame{0xF5, static_cast<uint8_t>(area), static_cast<uint8_t>(area >> 8), static_cast<uint8_t>(area >> 16),
                static_cast<uint8_t>(id.size())};
    frame.insert(frame.end(), id.begin(), id.end());
    return frame;
}

}  // namespace pelican::test
