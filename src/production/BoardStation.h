#pragma once
// One port of the production line: its board's job, and with --wait and
// --loop the waits around it. A board's run has its own application, link
// and runner; so has the next board on the same port. Everything it prints
// goes through the gang's console.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "station/BatchOptions.h"
#include "production/GangConsole.h"
#include "link/PortInfo.h"
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
    // Told when this port's board's job begins (true) and ends (false), not
    // while the station waits for the next board: the end of the session
    // is asked to wait only then.
    std::function<void(bool)> inWork;
    // The ports this machine has and who holds them: a port another
    // program holds is told with its holder where the system says.
    std::function<PortSurvey()> survey;
};

class CBoardStation {
public:
    // options: the job, with the port this station has in options.port;
    // board: its index in the console; interruptTold: shared by the gang's
    // stations, so that a first Ctrl-C is told once for all of them.
    CBoardStation(const BatchOptions& options, BoardSetup setup, CGangConsole& console, size_t board,
                  std::atomic<bool>* interruptTold = nullptr);

    // The boards' runs, one after the other, until the job is done (without
    // --loop) or a signal ends the line.
    std::vector<BoardResult> Run();

    // How long the port stays closed between two looks: free for another
    // program (a technician's `pelican status`) most of the time.
    static constexpr uint32_t kPortFreeMs = 1000;
    // A board that stops answering for a moment (busy finishing something,
    // restarting after another program's run on its port) is still in the
    // fixture, and taking it out and putting the next one in takes a person
    // several seconds anyway: a silence means the board went only once it
    // has lasted this many looks in a row and this long.
    static constexpr int kGoneAfterSilentLooks = 3;
    static constexpr uint64_t kGoneAfterSilenceMs = 5000;

private:
    // What one look at the port found.
    enum class Sight {
        Absent,    // the port is not there (or failed during the look)
        Busy,      // another program holds it
        Unusable,  // it can never be opened: no permission, not a serial device
        Silent,    // it opened; nothing came back
        Heard,     // something came back, not the boot loader's answer
        Answered,  // the boot loader answered the synchronisation
    };
    // How a wait for the board to come or to go ended.
    enum class WaitEnd { Done, Signal, Unusable };

    // Runs the job once. False when the board went before its job began
    // (--wait: look for it again), nothing then being counted.
    bool RunOnce(BoardResult& result);
    // Looks for a board that answers its synchronisation.
    WaitEnd WaitForBoard();
    // Waits until the port is gone or its board has stayed silent long
    // enough (kGoneAfterSilentLooks, kGoneAfterSilenceMs).
    WaitEnd WaitUntilGone();
    // One look: open the port, synchronise, close it. resetIfNew: the port
    // has just appeared, and --reset puts its board into boot mode first.
    Sight Look(bool resetIfNew);
    // Tells once that another program holds the port (and by whom, where
    // the system says), and once that it is free again: a held port is no
    // board, and the wait must not look like one for nothing.
    void TellHeld(bool held);
    // A port that can never be opened, told with the system's reason.
    WaitEnd TellUnusable();
    // A first Ctrl-C under --loop lets the boards in work finish: told once.
    void NoteInterrupt();
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
    int m_openError = 0;  // why the last look's open failed (errno)
    bool m_heldTold = false;  // the port was last told as held by another program
    std::atomic<bool>* m_interruptTold;
};

}  // namespace pelican
