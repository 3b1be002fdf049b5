#include "SimulatedBoard.h"

#include <iostream>

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
    std::cerr << "Simulated board on " << simulated->Path() << "\n";
    return simulated;
}

}  // namespace pelican
