#include "SimulatedModemLines.h"

#include <cerrno>

namespace pelican {

int CSimulatedModemLines::SetModemLine(ModemLine line, bool on) {
    if (!Inner().IsOpen()) return EBADF;
    // The drain first: what was written reaches the board before the line moves.
    Inner().Drain(UINT64_MAX);
    m_board.SetModemLine(line, on);
    return 0;
}

}  // namespace pelican
