#pragma once
// The shared test bench: a simulated board on a virtual clock, and serial
// devices wired to it. Typical use:
//
//   CSimBench bench;                         // Orca/S P board, ID 01..07
//   CSerialComm port(bench.MakeDevice(), bench.Clock());
//   port.Open("COM1");
//   bench.PassId();                          // synchronised, 9600 bps, ID passed
//   ... run the flow ...
//   EXPECT_EQ(bench.Received(), (Bytes{0x70, ...}));   // bytes on the wire
//
// Every wait of the port advances the virtual clock to the board's next
// reply or to the time-out, so erase waits and page pauses cost nothing.
// The board starts as after power-up: unsynchronised at 9600 bps.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/SerialComm.h"
#include "link/SerialDevice.h"
#include "sim/BootLoader.h"
#include "sim/BoardConfig.h"
#include "sys/Clock.h"

namespace pelican::test {

using Bytes = std::vector<uint8_t>;

class CSimBench {
public:
    explicit CSimBench(sim::BoardConfig config = sim::BoardConfig{});

    CVirtualClock& Clock() { return m_clock; }
    sim::CBootLoader& Board() { return m_board; }

    // A device wired to the board; it opens only under portName.
    std::unique_ptr<ISerialDevice> MakeDevice(const std::string& portName = "COM1");
    // A port on a new device, opened as "COM1" and set to baud 8N1 with the
    // standing 5000 ms read time-out.
    std::unique_ptr<CSerialComm> OpenPort(uint32_t baud = 9600);

    // Every byte the board took in since the last clear.
    Bytes Received() const { return m_board.ReceivedBytes(); }
    void ClearReceived() { m_board.ClearLog(); }
    // The frames the board took since the last clear that start with code.
    size_t FramesOf(uint8_t code) const;
    // Raises signal as the board takes the n-th frame starting with code,
    // and again at each of the next times - 1 such frames (a second signal).
    void RaiseAt(uint8_t code, unsigned n, int signal, unsigned times = 1);

    // Short cuts past the wire: they feed the board directly at its own rate,
    // drop its answers and clear its log. Set the host port to the same rate.
    // Synchronised and moved to baud (one of the five rates).
    void Synchronise(uint32_t baud = 9600);
    // Synchronised at baud and the board's own ID accepted.
    void PassId(uint32_t baud = 9600);

private:
    CVirtualClock m_clock;
    sim::CBootLoader m_board;
};

// An Orca/W board that takes a boot program without an ID check, as the
// boot-loader target's download finds it.
sim::BoardConfig BootBoard();

// One exchange as the protocol does it: send the frame in one write, then
// read exactly replyLength bytes. The reply, or an empty vector when the read
// failed (see port.m_timedOut for why). replyLength 0: send only.
Bytes Exchange(CSerialComm& port, const Bytes& frame, size_t replyLength);

}  // namespace pelican::test
