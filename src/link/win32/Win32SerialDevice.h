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
// what the port polls.
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

namespace pelican {

class CWin32SerialDevice final : public ISerialDevice {
public:
    CWin32SerialDevice();
    ~CWin32SerialDevice() override;
    CWin32SerialDevice(const CWin32SerialDevice&) = delete;
    CWin32SerialDevice& operator=(const CWin32SerialDevice&) = delete;

    // The path CreateFileW is given for a port name: \\.\COM5 for "com5".
    static std::wstring DevicePath(const std::string& name);
    // The errno value Open reports for a CreateFileW failure.
    static int OpenErrorOf(DWORD error);

    bool Open(const std::string& name) override;
    int OpenError() const override { return m_openError; }
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
    // device reports no modem status, as a pseudo-terminal under Wine does):
    // waits then look at the queue every millisecond instead.
    bool WaitsOnEvents() const { return m_eventWait; }
    // Waits on the driver's events whatever the open found: for a test of
    // the event wait on a port whose waits end at once.
    void UseEventWait(bool on) { m_eventWait = on; }

private:
    // Under m_mutex: the driver's error word into m_errors, and its queue
    // counts. False when the driver does not answer.
    bool Poll(DWORD& inQueue, DWORD& outQueue);
    // True when the queue no longer holds `seen` bytes, a line error waits
    // to be reported, or the driver does not answer.
    bool Changed(size_t seen);
    // Waits for an overlapped operation on ov up to ms; cancels it when it
    // has not completed by then. True when it completed; n is its count.
    bool Finish(HANDLE handle, OVERLAPPED& ov, DWORD ms, DWORD& n);
    void CloseEvents();

    std::mutex m_mutex;
    std::atomic<HANDLE> m_handle{INVALID_HANDLE_VALUE};  // written only under m_mutex
    HANDLE m_portMutex = nullptr;  // the port's name held for this process
    int m_openError = 0;
    uint32_t m_errors = 0;  // line errors taken from the driver, not yet reported
    bool m_eventWait = false;
    // The lines as this program last set them, applied again with every
    // change of settings: the driver sets DTR and RTS from the settings
    // record, which EscapeCommFunction does not update.
    bool m_dtrOn = true;
    bool m_rtsDriven = false;
    bool m_rtsOn = true;
    OVERLAPPED m_readOv{};   // Read, under m_mutex
    OVERLAPPED m_writeOv{};  // Write
    OVERLAPPED m_waitOv{};   // WaitInput
    DWORD m_eventMask = 0;   // what the last WaitCommEvent reported
    // Until then (on the real clock, in microseconds) a reply may be on its
    // way: a frame was written or input moved. A wait without events looks
    // at the queue finely meanwhile.
    std::atomic<uint64_t> m_replyDueUntilUs{0};
};

}  // namespace pelican
