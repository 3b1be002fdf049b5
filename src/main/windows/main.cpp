// pelican.exe: the window program, the window program on a simulated board,
// or batch mode when actions are named on the command line, put together
// (see main/Composition.h) from the Windows parts:
//   the serial back end   the communications API (CWin32SerialDevice)
//   the clock             the performance counter, its pauses finer than
//                         the timer tick (asked to be 1 ms for the run);
//                         every pause, and the port's waits, are where an
//                         ending is looked at; it is acted on once the
//                         exchange in flight is over
//   the endings           the console's events and the end of the session
//                         (a hidden window of its own thread), in batch
//                         mode and in the window program
//   the window back end   Win32 dialogs built from the templates, or the
//                         scripted back end of batch mode
//   the board             a real one on the named COM port, or under
//                         --simulate the simulated board in this process, on
//                         the in-memory link at the line's real speed
// First: the windows' own names come before windows.h takes them (see
// ui/win32/WindowsApi.h).
#include "Win32Front.h"
// clang-format off
#include <memory>
#include <string>
#include <vector>

#include "Console.h"
#include "ConsoleHold.h"
#include "MemoryBoard.h"
#include "SessionWindowWatch.h"
#include "link/win32/Win32PortList.h"
#include "link/win32/Win32SerialDevice.h"
#include "main/Composition.h"
#include "sys/Clock.h"
// clang-format on

int main() {
    using namespace pelican;
    PlatformKit kit;
    kit.clock = &RealClock();
    kit.makeDevice = [] { return std::make_unique<CWin32SerialDevice>(); };
    kit.portList = Win32PortList;
    kit.startSimulatedBoard = []() -> std::unique_ptr<ISimulatedBoard> { return std::make_unique<CMemoryBoard>(); };
    kit.holdBatchConsole = []() -> std::unique_ptr<IBatchConsole> { return std::make_unique<CConsoleHold>(); };
    kit.watchSession = []() -> std::unique_ptr<ISessionWatch> { return std::make_unique<CSessionWindowWatch>(); };
    kit.openWindows = [](int&, char**) -> std::unique_ptr<IWindowFront> {
        LeaveConsoleOfOwn();
        return std::make_unique<CWin32Front>();
    };
    // The command line as the user typed it, in UTF-8 like every text
    // inside the program (main's own argv is in the ANSI code page, which
    // cannot hold every file name).
    std::vector<std::string> arguments = CommandLineArguments();
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return RunPelican(kit, static_cast<int>(arguments.size()), argv.data());
}
