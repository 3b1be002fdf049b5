#pragma once
// The serial port: exact-length reads with a millisecond time-out, purge,
// line settings and the optional receive-notification thread.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "link/IoController.h"
#include "sys/Clock.h"

namespace pelican {

// Why a read ended.
enum class ReadResult {
    Ok,        // every byte asked for arrived
    TimedOut,  // the read time-out ran out first
    LineError, // overrun, framing, parity or break on the line
    PortGone,  // the port is closed, unplugged or failed
};

class CSerialComm : public CIoController {
public:
    // The device back end (a POSIX serial port, the simulated board) and the
    // clock every pause and time-out reads.
    CSerialComm(std::unique_ptr<ISerialDevice> device, IClock& clock);
    ~CSerialComm() override;

    int Open(const std::string& name) override;
    // Stops a running reader first: it must not query a device that closes.
    int Close() override;
    // Returns when the frame has left the line (see WaitFrameSent), with the
    // length sent; 0 when the frame could not be written whole.
    int Send(const uint8_t* buffer, size_t length) override;
    // Exactly length bytes, or 0; m_timedOut tells a time-out from the rest.
    int Receive(uint8_t* buffer, size_t length) override;
    // The same read, saying why it ended.
    ReadResult Read(uint8_t* buffer, size_t length);
    int SetReadTimeout(int32_t milliseconds) override;
    int SetState(const CIoState& state) override;
    int GetState(CIoState& state) override;
    int PurgeInput() override;
    int StartReader(ReaderCallback callback, void* userData, size_t threshold) override;
    int StopReader() override;
    virtual void OnReceive(void* userData, uint32_t errors);

    // While a hook is set, a read that waits for input wakes at least every
    // sliceMs on the port's clock and calls it; nothing else of the read
    // changes. An empty hook ends this.
    void SetWaitHook(std::function<void()> hook, uint32_t sliceMs);

    // Turns DTR or RTS on or off: 0, or the errno of the failure.
    int SetModemLine(ModemLine line, bool on);

    int32_t ReadTimeout() const { return m_readTimeout; }
    int TimedOut() const { return m_timedOut; }
    IClock& Clock() { return m_clock; }

    int m_timedOut = 0;

private:
    // Waits until a frame of `length` bytes whose write began at startMs has
    // left the line: drained, and not before its own line time (ten bits a
    // byte at the current rate) has passed on the port's clock.
    bool WaitFrameSent(uint64_t startUs, size_t length);
    // Ten bit times at the line's rate, rounded down; 0 when the clock is
    // virtual or the rate unknown.
    uint64_t CharUs();
    void ReaderLoop(ReaderCallback callback, void* userData, size_t threshold);

    IClock& m_clock;
    std::thread m_hReader;
    int32_t m_readTimeout = 0;
    std::function<void()> m_waitHook;
    uint32_t m_waitSliceMs = 0;
    std::atomic<int> m_readerStopped{1};
};

}  // namespace pelican
