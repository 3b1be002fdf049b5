#pragma once
// The simulated board on a pseudo-terminal, so that the program's real
// termios back end can talk to it. The host opens Path() like any serial
// device; a thread on the master side feeds the board on the real clock and
// writes its replies when they are due.
//
// A pseudo-terminal has no wire, so the thread lays one in: what the host
// writes reaches the board one character every ten bit times of the host's
// rate, and the replies go back at the board's rate, so that a host which
// does not wait for its frame to leave the line fails here as on hardware.
// The line settings are shared by both sides: the thread reads the host's
// rate and format from the terminal and garbles bytes whenever they disagree
// with the board's rate, as a UART would. A pseudo-terminal cannot carry a
// framing error to the host, so a line error the board is told to produce
// arrives as a 00 character.
//
// The board keeps its own descriptor of the terminal open so that the line
// survives between host sessions; Stop() closes the master, which the host
// sees as a hang-up, like an unplugged USB adapter.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/SerialDevice.h"
#include "sim/BootLoader.h"
#include "sim/ResetPins.h"
#include "sim/SimWire.h"

namespace pelican::sim {

class CPtyBoard {
public:
    // Serves a board the caller owns (tests look into it).
    explicit CPtyBoard(CBootLoader& board);
    // Serves a board of its own, built from config.
    explicit CPtyBoard(BoardConfig config);
    ~CPtyBoard();
    CPtyBoard(const CPtyBoard&) = delete;
    CPtyBoard& operator=(const CPtyBoard&) = delete;

    // Creates the terminal and starts serving it; false (with a reason) when
    // the system refuses a pseudo-terminal or it is already running.
    bool Start(std::string* error = nullptr);
    // The terminal the host opens, e.g. /dev/pts/3.
    const std::string& Path() const { return m_path; }
    bool Running() const { return m_thread.joinable(); }
    // The serving thread, for a caller that accounts for its CPU time.
    std::thread::native_handle_type ServingThread() { return m_thread.native_handle(); }
    void Stop();
    // The board's RESET button; safe from any thread.
    void Reset();
    // The same from a signal handler: only flags the request and wakes the
    // serving thread, which presses the button.
    void RequestReset();
    CBootLoader& Board() { return m_board; }
    // The board's RESET and boot-mode pins on the host's DTR and RTS
    // (CResetPins). A pseudo-terminal carries no modem lines, so a host in
    // the same process hands its line changes here; safe from any thread.
    void SetModemLine(ModemLine line, bool on);
    unsigned RestartsByWire() const;

private:
    void Serve();
    LineFormat HostFormat() const;
    // Moves what is due by nowUs: the host's characters to the board, the
    // board's replies into the terminal.
    void Deliver(uint64_t nowUs);
    void Flush();
    void Wake();

    std::unique_ptr<CBootLoader> m_owned;
    CBootLoader& m_board;
    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    std::string m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_resetRequested{false};
    mutable std::mutex m_pinsMutex;
    CResetPins m_pins;
    std::atomic<bool> m_listening{true};  // m_pins.Listening(), for the serving thread
    std::vector<uint8_t> m_pending;  // reply bytes the terminal had no room for yet
    CSimWire m_wire;                 // the host's bytes on their way to the board
};

}  // namespace pelican::sim
