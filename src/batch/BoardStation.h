#pragma once
// One port of the production line: its board's job, and with --wait and
// --loop the waits around it. A board's run has its own application, link
// and runner; so has the next board on the same port. Everything it prints
// goes through the gang's console.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"
#include "batch/GangConsole.h"
#include "link/ResetSequence.h"
#include "link/SerialDevice.h"
#include "sys/Clock.h"

namespace pelican {

class CBatchRunner;

// What the composition gives one port.
struct BoardSetup {
    // A new device for the port: each run, and each look for the board.
    std::function<std::unique_ptr<ISerialDevice>()> makeDevice;
    // The clock of its pauses and waits.
    IClock* clock = nullptr;
    // The composition's last word on each run's runner before it runs (the
    // simulated board's RESET, where its lines go in tests).
    std::function<void(CBatchRunner&)> prepare;
};

class CBoardStation {
public:
    // options: the job, with the port this station has in options.port;
    // board: its index in the console.
    CBoardStation(const BatchOptions& options, BoardSetup setup, CGangConsole& console, size_t board);

    // The boards' runs, one after the other, until the job is done (without
    // --loop) or a signal ends the line.
    std::vector<BoardResult> Run();

    // How long a look for the board waits before the next.
    static constexpr uint32_t kLookEveryMs = 1000;

private:
    // Runs the job once. False when the board went before its job began
    // (--wait: look for it again), nothing then being counted.
    bool RunOnce(BoardResult& result);
    // Looks for a board that answers its synchronisation, every second;
    // false when a signal ended the wait.
    bool WaitForBoard();
    // Waits until the port is gone or its board no longer answers; false
    // when a signal ended the wait.
    bool WaitUntilGone();
    // Looks every second until the board answers (answering) or until it
    // does not; false when a signal ended the wait.
    bool LookUntil(bool answering);
    // One look: whether the port opens and, if so, whether its board
    // answers. resetIfNew: the port has just appeared, and --reset puts its
    // board into boot mode first.
    bool Look(bool& present, bool resetIfNew);
    static bool Stopping();
    // The status of a wait a signal ended: 128 + the signal (Ctrl-C: 130).
    static int SignalStatus();

    BatchOptions m_options;
    BoardSetup m_setup;
    CGangConsole& m_console;
    size_t m_board;
    CResetSequence m_reset;
    // Whether the port was there at the last look: a port that appears anew
    // holds a new board.
    bool m_present = false;
};

}  // namespace pelican
