#include "SimulatedBoard.h"

#include <iostream>

#include "SimulatedModemLines.h"
#include "link/posix/PosixSerialDevice.h"
#include "sim/BoardConfig.h"

namespace pelican {

CSimulatedBoard::CSimulatedBoard() : m_board(sim::BuiltInBoard()), m_pty(m_board) {}

std::unique_ptr<CSimulatedBoard> CSimulatedBoard::Start() {
    auto simulated = std::make_unique<CSimulatedBoard>();
    std::string error;
    if (!simulated->m_pty.Start(&error)) {
        std::cerr << "pelican: cannot start the simulated board: " << error << "\n";
        return nullptr;
    }
    std::cerr << "Simulated board on " << simulated->Port() << "\n";
    return simulated;
}

std::unique_ptr<ISerialDevice> CSimulatedBoard::MakeDevice() {
    return std::make_unique<CSimulatedModemLines>(std::make_unique<CPosixSerialDevice>(), m_pty);
}

}  // namespace pelican
