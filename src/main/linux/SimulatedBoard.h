#pragma once
// The built-in simulated board of `pelican --simulate`: an Orca/S P part with
// ID 01 to 07 on a pseudo-terminal, so that the real serial path is used end
// to end (it takes a download without an ID check, as the Orca/W boot loader
// does).
#include <memory>
#include <string>

#include "sim/BootLoader.h"
#include "sim/PtyBoard.h"

namespace pelican {

class CSimulatedBoard {
public:
    // Started on a new pseudo-terminal, or nullptr (the reason is printed).
    static std::unique_ptr<CSimulatedBoard> Start();

    std::string Path() const { return m_pty.Path(); }
    void Reset() { m_pty.Reset(); }
    sim::CPtyBoard& Pty() { return m_pty; }

    CSimulatedBoard();

private:
    sim::CBootLoader m_board;
    sim::CPtyBoard m_pty;
};


}  // namespace pelican
