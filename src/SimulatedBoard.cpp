#include "SimulatedBoard.h"

#include <iostream>

#include "sim/BoardConfig.h"
#include "ui/Messages.h"

namespace pelican {
namespace {

sim::BoardConfig BuiltInBoard() {
    sim::BoardConfig config;
    config.keepLog = false;
    // One board stands for both targets: the Orca/W boot loader takes a
    // download without an ID exchange, so the board must too. The memory
    // commands stay behind the ID check the main window makes.
    config.requireId = false;
    return config;
}

}  // namespace

CSimulatedBoard::CSimulatedBoard() : m_board(BuiltInBoard()), m_pty(m_board) {}

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

int CSimulatedResetBackend::MessageBox(const std::string& caption, const std::string& text, ui::Icon icon) {
    const int result = m_inner.MessageBox(caption, text, icon);
    if (ui::IsPushResetText(text)) m_board.Reset();
    return result;
}

}  // namespace pelican
