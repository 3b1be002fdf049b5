// Feeds arbitrary bytes from a host to the simulated board's command decoder,
// in pieces and at arbitrary times. Whatever arrives, the board must not
// crash, must not hand out a reply before it is due, and must keep its
// replies in time order.
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "sim/BootLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    pelican::sim::BoardConfig config;
    config.keepLog = false;
    config.requireId = (data[0] & 1) != 0;
    config.type = (data[0] & 2) != 0 ? pelican::sim::DeviceType::OrcaW : pelican::sim::DeviceType::OrcaSP;
    config.eraseMs = 20;
    pelican::sim::CBootLoader board(config);

    uint64_t now = 1000000;
    uint64_t lastDue = 0;
    size_t i = 1;
    while (i < size) {
        // A control byte: how many of the following bytes go in one piece,
        // and how far the clock moves before the next.
        const uint8_t control = data[i++];
        const size_t piece = std::min<size_t>(size - i, 1 + (control & 0x0F) * 17);
        board.Inject(data + i, piece, now);
        i += piece;
        now += (control >> 4) * 37000u;
        if ((control & 0xF0) == 0xF0) board.Reset();
        for (const auto& reply : board.TakeDue(now)) {
            if (reply.dueUs < lastDue || reply.dueUs > now) std::abort();
            lastDue = reply.dueUs;
        }
    }
    return 0;
}
