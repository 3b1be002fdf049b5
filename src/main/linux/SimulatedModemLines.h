#pragma once
// The port of `pelican --simulate` with the built-in board's modem lines: a
// pseudo-terminal carries no DTR or RTS, so their changes go straight to the
// board's RESET and boot-mode pins in this process (the bytes still take the
// terminal). Everything else goes to the device it wraps.
#include <memory>

#include "link/DeviceWrapper.h"
#include "sim/PtyBoard.h"

namespace pelican {

class CSimulatedModemLines final : public CDeviceWrapper {
public:
    CSimulatedModemLines(std::unique_ptr<ISerialDevice> inner, sim::CPtyBoard& board)
        : CDeviceWrapper(std::move(inner)), m_board(board) {}

    int SetModemLine(ModemLine line, bool on) override;

private:
    sim::CPtyBoard& m_board;
};

}  // namespace pelican
