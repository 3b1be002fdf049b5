#pragma once
// The built-in simulated board of `pelican --simulate` on Windows: in this
// process, on the in-memory link at the line's real speed (Windows has no
// pseudo-terminals). Its port has a name no COM port has, so that a typing
// slip never reaches real hardware.
#include <memory>
#include <string>

#include "main/BoardSimulation.h"
#include "sim/BoardConfig.h"
#include "sim/BootLoader.h"
#include "sim/MemoryLink.h"
#include "sys/Clock.h"

namespace pelican {

class CMemoryBoard final : public ISimulatedBoard {
public:
    static constexpr const char* kPort = "SIMULATED";

    std::string Port() const override { return kPort; }
    std::unique_ptr<ISerialDevice> MakeDevice() override {
        return std::make_unique<sim::CMemoryLink>(m_board, RealClock(), kPort);
    }
    void Reset() override { m_board.Reset(); }

private:
    sim::CBootLoader m_board{sim::BuiltInBoard()};
};

}  // namespace pelican
