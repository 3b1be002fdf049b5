#pragma once
// The in-memory serial back end: a host port wired straight to a simulated
// board, on any clock. With the virtual clock a wait for a reply costs
// nothing: the clock jumps to the moment the next reply byte is due (or to
// the caller's deadline). With the real clock the wait sleeps.
//
// The wire is modelled as a UART pair: a byte sent while the host's line
// settings differ from the board's rate reaches the board garbled (usually
// dropped with a framing error), and a reply the board sent at another rate
// than the host now listens at arrives as garbage with a framing error.
#include <deque>
#include <mutex>
#include <string>

#include "link/SerialDevice.h"
#include "sim/BootLoader.h"
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
    intptr_t Handle() const override;
    void RaiseDtr() override;
    long Write(const uint8_t* data, size_t length) override;
    bool QueryInput(uint32_t& errors, size_t& queued) override;
    long Read(uint8_t* data, size_t length) override;
    bool PurgeInput() override;
    bool GetLine(LineSettings& line) override;
    bool SetLine(const LineSettings& line) override;
    void WaitInput(uint64_t deadlineMs) override;

    bool DtrRaised() const;
    const std::string& PortName() const { return m_portName; }

    static LineFormat FormatOf(const LineSettings& line);

private:
    // Moves the replies due by `now` into the receive queue; true if any came.
    bool Pump(uint64_t now);

    CBootLoader& m_board;
    IClock& m_clock;
    const std::string m_portName;
    mutable std::mutex m_mutex;
    bool m_open = false;
    bool m_dtr = false;
    LineSettings m_line{9600, 8, 0, 0};
    std::deque<uint8_t> m_queue;
    uint32_t m_errors = 0;
};

}  // namespace pelican::sim
