#pragma once
// The built-in simulated board of --simulate as a platform has it: on a
// pseudo-terminal (Linux, so that the real serial path is used end to end)
// or in this process on an in-memory link (Windows).
#include <memory>
#include <string>

#include "link/SerialDevice.h"

namespace pelican {

class ISimulatedBoard {
public:
    virtual ~ISimulatedBoard() = default;

    // The port the program is given for it.
    virtual std::string Port() const = 0;
    // A new device that reaches it: each run, and each look for the board.
    virtual std::unique_ptr<ISerialDevice> MakeDevice() = 0;
    // Its RESET pressed, as a person at the bench would.
    virtual void Reset() = 0;
};

}  // namespace pelican
