#pragma once
// The serial port: exact-length reads with a millisecond time-out, purge,
// line settings and the optional receive-notification thread.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

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

    // How much longer than its line time a frame may take to leave the port
    // before Send gives up on it: as long as a write may wait for room.
    static constexpr uint64_t kDrainStallMs = 5000;

    // What the port is doing right now, for a signal that has to let the
    // exchange in flight finish before the link can be used for anything else.
    // Pausing: a pause the protocol prescribes within an exchange (the
    // program interval after a page), which the board needs as it is.
    enum class Activity { Idle, Sending, Awaiting, Pausing };
    Activity CurrentActivity() const { return m_activity; }
    // Marks a pause of ms from now as part of the exchange in flight, and
    // its end.
    void BeginPause(uint32_t ms);
    void EndPause();
    // Asks the pause under way to end as soon as the board allows: a signal
    // that ends the run or the page loop came in it.
    void CutPause() { m_pauseCut = m_activity == Activity::Pausing; }
    bool PauseCut() const { return m_pauseCut; }
    // When the current send or read gives up, on the port's clock; 0 when
    // it waits without limit or the port is idle.
    uint64_t ActivityUntilMs() const { return m_activityUntilMs; }
    // The first byte of every frame sent since the last read ended: what the
    // reply awaited answers.
    const std::vector<uint8_t>& FramesSinceRead() const { return m_framesSinceRead; }
    // Called each time a read has ended, whether the reply came or not: the
    // exchange it belonged to is over. An empty hook ends this.
    void SetReadEndHook(std::function<void()> hook) { m_readEndHook = std::move(hook); }

    // Whether a call to the device failed since the port was opened (an
    // adapter pulled out, its device gone): not the board's silence.
    bool DeviceFailed() const { return m_deviceFailed; }
    // How the device's first failed call failed (see DeviceFault); the
    // device's own account while it is open, kept when the port is closed.
    DeviceFault Fault() const;

    int32_t ReadTimeout() const { return m_readTimeout; }
    int TimedOut() const { return m_timedOut; }
    IClock& Clock() { return m_clock; }

    int m_timedOut = 0;

private:
    // Waits until a frame of `length` bytes whose write began at startMs has
    // left the line: drained, and not before its own line time (ten bits a
    // byte at the current rate) has passed on the port's clock.
    bool WaitFrameSent(uint64_t startUs, size_t length);
    ReadResult ReadReply(uint8_t* buffer, size_t length);
    // Ten bit times at the line's rate, rounded down; 0 when the clock is
    // virtual or the rate unknown.
    uint64_t CharUs();
    void ReaderLoop(ReaderCallback callback, void* userData, size_t threshold);

    IClock& m_clock;
    std::thread m_hReader;
    int32_t m_readTimeout = 0;
    std::function<void()> m_waitHook;
    uint32_t m_waitSliceMs = 0;
    std::function<void()> m_readEndHook;
    Activity m_activity = Activity::Idle;
    uint64_t m_activityUntilMs = 0;
    bool m_pauseCut = false;
    bool m_deviceFailed = false;
    DeviceFault m_closedFault;  // the device's fault as the port was closed
    std::vector<uint8_t> m_framesSinceRead;
    std::atomic<int> m_readerStopped{1};
};

}  // namespace pelican
