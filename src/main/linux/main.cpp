// pelican: the window program, the window program on a simulated board, or
// batch mode when actions are named on the command line, put together (see
// main/Composition.h) from the Linux parts:
//   the serial back end   POSIX termios devices (CPosixSerialDevice)
//   the clock             the real clock (its pauses, and the port's waits,
//                         are where a signal is looked at; it is acted on
//                         once the exchange in flight is over)
//   the window back end   Qt windows, or the scripted back end of batch mode
//   the board             a real one on the named port, or under --simulate
//                         the simulated board on a pseudo-terminal
#include <memory>

#include "QtFront.h"
#include "SimulatedBoard.h"
#include "StandardDescriptors.h"
#include "link/posix/PosixPortList.h"
#include "link/posix/PosixSerialDevice.h"
#include "main/Composition.h"
#include "sys/Clock.h"

int main(int argc, char** argv) {
    using namespace pelican;
    PlatformKit kit;
    kit.occupyClosedDescriptors = OccupyClosedDescriptors;
    kit.clock = &RealClock();
    kit.makeDevice = [] { return std::make_unique<CPosixSerialDevice>(); };
    kit.portList = PosixPortList;
    kit.startSimulatedBoard = []() -> std::unique_ptr<ISimulatedBoard> { return CSimulatedBoard::Start(); };
    kit.openWindows = [](int& count, char** arguments) -> std::unique_ptr<IWindowFront> {
        if (CQtFront::DisplayMissing()) return nullptr;
        return std::make_unique<CQtFront>(count, arguments);
    };
    // Whoever started the program from a terminal reads there why it would
    // not start.
    kit.refusalsOnStandardError = true;
    return RunPelican(kit, argc, argv);
}
