#pragma once
// The built-in simulated board of `pelican --simulate`: an Orca/S P part with
// ID 01 to 07 on a pseudo-terminal, so that the real serial path is used end
// to end (it takes a download without an ID check, as the Orca/W boot loader
// does).
#include <memory>
#include <string>

#include "main/BoardSimulation.h"
#include "sim/BootLoader.h"
#include "sim/PtyBoard.h"

namespace pelican {

class CSimulatedBoard final : public ISimulatedBoard {
public:
    // Started on a new pseudo-terminal, or nullptr (the reason is printed).
    static std::unique_ptr<CSimulatedBoard> Start();

    std::string Port() const override { return m_pty.Path(); }
    // A terminal device on the pseudo-terminal, its modem lines wired to
    // the board's pins.
    std::unique_ptr<ISerialDevice> MakeDevice() override;
    void Reset() override { m_pty.Reset(); }

    CSimulatedBoard();

private:
    sim::CBootLoader m_board;
    sim::CPtyBoard m_pty;
};

}  // namespace pelican
