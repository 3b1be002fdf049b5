#pragma once
// Serial devices through termios: real UARTs, USB adapters and
// pseudo-terminals. "COM1" to "COM4" (any letter case) stand for /dev/ttyS0
// to /dev/ttyS3.
//
// Line errors reach the port two ways: the driver's error counters
// (TIOCGICOUNT) where it keeps them, and marks in the data stream itself
// (parity marking) on every driver. Reading the marks means that the bytes
// in the terminal's queue are not the bytes received, so the device reads
// whatever the terminal holds into its own queue of decoded bytes, and the
// queue count it reports is the length of that queue.
//
// Threads: the port's reader thread may query the input while the user
// interface thread uses the port. The descriptor, the counters, the decoded
// queue and the decoder are shared between the two and kept under one lock;
// writing, draining and waiting run outside it, on the thread that also
// opens and closes the device.
#include <linux/serial.h>

#include <atomic>
#include <deque>
#include <mutex>

#include "link/ParityMarkDecoder.h"
#include "link/SerialDevice.h"

namespace pelican {

class CPosixSerialDevice final : public ISerialDevice {
public:
    CPosixSerialDevice();
    ~CPosixSerialDevice() override;
    CPosixSerialDevice(const CPosixSerialDevice&) = delete;
    CPosixSerialDevice& operator=(const CPosixSerialDevice&) = delete;

    static std::string DevicePath(const std::string& name);

    bool Open(const std::string& name) override;
    int OpenError() const override { return m_openError; }
    DeviceFault Fault() const override;
    bool Close() override;
    bool IsOpen() const override { return m_fd >= 0; }
    intptr_t Handle() const override { return m_fd; }
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

private:
    // Keeps the first failure of a call on the open device (its errno).
    void NoteFault(int error);
    // Under m_mutex.
    uint32_t CounterErrors();
    // Moves what the terminal holds through the decoder into m_input.
    void Pull();
    // Low-latency mode of USB adapters, asked for at open and put back at close.
    void AskLowLatency(int fd);
    void RestoreLatency(int fd);

    std::mutex m_mutex;
    std::atomic<int> m_fd{-1};  // written only under m_mutex
    int m_openError = 0;        // errno of the last failed Open
    std::atomic<int> m_fault{0};  // errno of the first failed call since the open
    bool m_haveCounters = false;
    serial_icounter_struct m_counters{};
    CParityMarkDecoder m_decoder;
    std::deque<uint8_t> m_input;  // received bytes, marks decoded
    uint32_t m_markErrors = 0;    // errors decoded but not yet reported
    bool m_lowLatencySet = false; // this program switched low latency on
    // A thread in WaitInput sleeps on the terminal and on this event, which
    // another thread's Pull raises when it moves input into m_input: the
    // terminal itself would not show those bytes again.
    int m_wakeFd = -1;
    int m_waiting = 0;  // threads in WaitInput; under m_mutex
};

}  // namespace pelican
