#pragma once
// What differs between the platforms the program is put together on. Each
// platform's main fills one and hands it to RunPelican, which is the same
// program everywhere. An empty function is a part the platform does without.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/SerialDevice.h"
#include "main/BatchConsole.h"
#include "main/BoardSimulation.h"
#include "main/SessionWatch.h"
#include "main/WindowFront.h"
#include "sys/Clock.h"

namespace pelican {

struct PlatformKit {
    // Before anything is read or written: standard descriptors the caller
    // closed are taken by something harmless; whether standard output was
    // one of them (batch mode then ends as on a lost output).
    std::function<bool()> occupyClosedDescriptors;
    // The clock of every pause and wait (the real one).
    IClock* clock = nullptr;
    // A new device for the operating system's serial ports.
    std::function<std::unique_ptr<ISerialDevice>()> makeDevice;
    // This machine's ports, as Select Program offers them.
    std::function<std::vector<std::string>()> portList;
    // The simulated board of --simulate, or nullptr when it could not be
    // started (the reason is told on standard error).
    std::function<std::unique_ptr<ISimulatedBoard>()> startSimulatedBoard;
    // The console of the program's own texts (a batch run, the help, a
    // usage error, the port list), set up before anything is written.
    std::function<std::unique_ptr<IBatchConsole>()> holdBatchConsole;
    // Held by both programs while they run.
    std::function<std::unique_ptr<ISessionWatch>()> watchSession;
    // The window program's windows (argc and argv as main has them); none
    // when there is no display to show them on.
    std::function<std::unique_ptr<IWindowFront>(int& argc, char** argv)> openWindows;
    // Whether the window program's start-up refusals are told on standard
    // error as well as in their box.
    bool refusalsOnStandardError = false;
};

}  // namespace pelican
