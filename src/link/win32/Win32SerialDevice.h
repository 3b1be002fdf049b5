#pragma once
// Serial ports through the Windows communications API: real UARTs, USB
// adapters and virtual ports. "COM5" in any letter case stands for
// \\.\COM5 (the only form that reaches COM10 and above); a name typed in
// the device namespace (\\.\COM12) is taken as it is.
//
// The handle is opened for overlapped I/O so that a wait for input can be
// given a deadline; to the caller every operation is synchronous. Reads
// never wait inside the driver (the interval time-out is set to return at
// once), and the driver's queue count and error word (ClearCommError) are
// what the port polls. An operation the driver neither completes nor lets
// be cancelled fails the port: from then on it reports itself gone, as an
// unplugged adapter does.
//
// Threads: the port's reader thread may query the input while the user
// interface thread uses the port. The handle and the line errors taken from
// the driver but not yet reported are kept under one lock; writing, draining
// and waiting run outside it, on the thread that also opens and closes the
// device.
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "link/SerialDevice.h"
#include "link/win32/CommApi.h"
#include "link/win32/OverlappedOp.h"
#include "sys/Clock.h"

namespace pelican {

class CWin32SerialDevice final : public ISerialDevice {
public:
    // api: the communications calls (a test's stand-in for a driver);
    // clock: what waits are measured and rested on.
    explicit CWin32SerialDevice(ICommApi& api = SystemCommApi(), IClock& clock = RealClock());
    ~CWin32SerialDevice() override;
    CWin32SerialDevice(const CWin32SerialDevice&) = delete;
    CWin32SerialDevice& operator=(const CWin32SerialDevice&) = delete;

    // The path CreateFileW is given for a port name: \\.\COM5 for "com5".
    static std::wstring DevicePath(const std::string& name);
    // The errno value Open reports for a CreateFileW failure.
    static int OpenErrorOf(DWORD error);

    bool Open(const std::string& name) override;
    int OpenError() const override { return m_openError; }
    DeviceFault Fault() const override;
    bool Close() override;
    bool IsOpen() const override { return m_handle.load() != INVALID_HANDLE_VALUE; }
    intptr_t Handle() const override;
    void RaiseDtr() override;
    int SetModemLine(ModemLine line, bool on) override;
    long Write(const uint8_t* data, size_t length) override;
    DrainResult Drain(uint64_t deadlineMs) override;
    bool QueryInput(uint32_t& errors, size_t& queued) override;
    long Read(uint8_t* data, size_t length) override;
    bool PurgeInput() override;
    bool GetLine(LineSettings& line) override;
    bool SetLine(const LineSettings& line) override;
    void WaitInput(uint64_t deadlineMs, size_t seen) override;

    // False when the driver's receive events cannot be waited for (the
    // device reports no modem status, as a pseudo-terminal under Wine does,
    // or the driver refused the event mask or a wait, or left received
    // bytes in the queue unannounced, as some USB and virtual port drivers
    // do): waits then look at the queue instead, as often as described
    // below.
    bool WaitsOnEvents() const { return m_eventWait; }
    // Waits on the driver's events whatever the open found: for a test of
    // the event wait on a port whose waits end at once.
    void UseEventWait(bool on) { m_eventWait = on; }
    // An operation of the driver's never ended: the port is unusable until
    // it is opened again.
    bool Failed() const { return m_failed.load(); }

    // Without receive events, how long a wait rests between looks at the
    // queue: finely while a reply is due (a frame was written or input
    // moved, within the frame's line time and this window), else a
    // millisecond.
    static constexpr uint64_t kReplyWindowUs = 50000;
    static constexpr uint64_t kFinePollUs = 200;
    static constexpr uint64_t kPollUs = 1000;

private:
    // Keeps the first failure of a call on the open port (its Windows error).
    void NoteFault(DWORD error);
    // Under m_mutex: the driver's error word into m_errors, and its queue
    // counts. False when the driver does not answer.
    bool Poll(DWORD& inQueue, DWORD& outQueue);
    // One WaitCommEvent on the wait slot, given up to ms; its events in
    // m_waitOp.Events().
    COverlappedOp::End WaitEvent(HANDLE handle, DWORD ms);
    // After a wait that ran out: the queue holds more than `seen` bytes
    // and the driver has no event for them either.
    bool Unannounced(HANDLE handle, size_t seen);
    // The driver's receive events are not to be relied on (late, missing,
    // refused): this open port polls its queue from now on.
    void EventsUnreliable();
    // True when the queue no longer holds `seen` bytes, a line error waits
    // to be reported, or the driver does not answer.
    bool Changed(size_t seen);
    // The end of an operation: a slot given up fails the port.
    bool Ended(COverlappedOp::End end);
    // The record's fields that every SetCommState needs whatever the driver
    // reported: no flow control, distinct XON and XOFF characters.
    static void Sanitise(DCB& dcb);
    uint64_t LineTimeUs(size_t bytes);

    ICommApi& m_api;
    IClock& m_clock;
    std::mutex m_mutex;
    std::atomic<HANDLE> m_handle{INVALID_HANDLE_VALUE};  // written only under m_mutex
    // The rate in force as last set or read; 0: not known. Every frame,
    // drain step and character time needs it, and each GetCommState is a
    // round of control transfers on a USB adapter.
    std::atomic<uint32_t> m_baudRate{0};
    HANDLE m_portMutex = nullptr;  // the port's name held for this process
    std::wstring m_path;           // the device's path, for what is said about it
    int m_openError = 0;
    std::atomic<DWORD> m_fault{0};  // the first failed call's error since the open
    uint32_t m_errors = 0;  // line errors taken from the driver, not yet reported
    bool m_eventWait = false;
    std::atomic<bool> m_failed{false};
    // The lines as this program last set them, applied again with every
    // change of settings: the driver sets DTR and RTS from the settings
    // record, which EscapeCommFunction does not update.
    bool m_dtrOn = true;
    bool m_rtsOn = true;
    COverlappedOp m_readOp;   // Read, under m_mutex
    COverlappedOp m_writeOp;  // Write
    COverlappedOp m_waitOp;   // WaitInput
    // Until then (on m_clock, in microseconds) a reply may be on its way: a
    // frame was written or input moved. A wait without events looks at the
    // queue finely meanwhile.
    std::atomic<uint64_t> m_replyDueUntilUs{0};
};

}  // namespace pelican
