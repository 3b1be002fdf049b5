#pragma once
// The in-memory serial back end: a host port wired straight to a simulated
// board, on any clock. With the virtual clock a wait for a reply costs
// nothing: the clock jumps to the moment the next byte is due (or to the
// caller's deadline). With the real clock the wait sleeps.
//
// Bytes take the wire's time in both directions, ten bit times a byte: what
// the host writes reaches the board one character after another at the
// host's rate, and the board's replies come back at the board's rate. A host
// that starts its next command before the last frame has left finds it
// queued behind that frame, as on a real line. Drain waits (on the link's
// clock) until everything written has arrived at the board.
//
// The wire is modelled as a UART pair: a byte sent while the host's line
// settings differ from the board's rate reaches the board garbled (usually
// dropped with a framing error), and a reply the board sent at another rate
// than the host now listens at arrives as garbage with a framing error.
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "link/SerialDevice.h"
#include "sim/BootLoader.h"
#include "sim/ResetPins.h"
#include "sim/SimWire.h"
#include "sys/Clock.h"

namespace pelican::sim {

class CMemoryLink final : public ISerialDevice {
public:
    // Only `portName` opens; any other name is a port that does not exist.
    CMemoryLink(CBootLoader& board, IClock& clock, std::string portName = "COM1");
    ~CMemoryLink() override;

    bool Open(const std::string& name) override;
    bool Close() override;
    bool IsOpen() const override;
    int OpenError() const override;
    DeviceFault Fault() const override;
    intptr_t Handle() const override;
    void RaiseDtr() override;
    // DTR and RTS reach the board's RESET and boot-mode pins (CResetPins).
    int SetModemLine(ModemLine line, bool on) override;
    long Write(const uint8_t* data, size_t length) override;
    DrainResult Drain(uint64_t deadlineMs) override;
    bool QueryInput(uint32_t& errors, size_t& queued) override;
    long Read(uint8_t* data, size_t length) override;
    bool PurgeInput() override;
    bool GetLine(LineSettings& line) override;
    bool SetLine(const LineSettings& line) override;
    void WaitInput(uint64_t deadlineMs, size_t seen) override;

    bool DtrRaised() const;
    const CResetPins& Pins() const { return m_pins; }
    // Every open fails with this errno from now on (0: opens again), as a
    // device this user has no permission for.
    void RefuseOpen(int error);
    const std::string& PortName() const { return m_portName; }

    static LineFormat FormatOf(const LineSettings& line);

private:
    // Hands the board the host's characters that have arrived by `now`, then
    // moves the replies due by then into the receive queue; true if any came.
    bool Pump(uint64_t now);
    // Under m_mutex: whether the board's adapter is pulled out, which fails
    // the call that asks (and is kept as the device's fault).
    bool Gone();
    // The next moment something arrives at either end, if anything is on its way.
    std::optional<uint64_t> NextEvent() const;

    CBootLoader& m_board;
    IClock& m_clock;
    const std::string m_portName;
    mutable std::mutex m_mutex;
    bool m_open = false;
    int m_refuseOpen = 0;
    int m_openError = 0;
    bool m_faulted = false;  // a call failed on the unplugged adapter since the open
    bool m_dtr = false;
    LineSettings m_line{9600, 8, 0, 0};
    std::deque<uint8_t> m_queue;
    CSimWire m_wire;  // host to board
    uint32_t m_errors = 0;
    CResetPins m_pins;
};

}  // namespace pelican::sim
