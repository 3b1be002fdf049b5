#pragma once
// Serial devices through termios: real UARTs, USB adapters and
// pseudo-terminals. "COM1" to "COM4" (any letter case) stand for /dev/ttyS0
// to /dev/ttyS3.
#include <linux/serial.h>

#include "link/SerialDevice.h"

namespace pelican {

class CPosixSerialDevice final : public ISerialDevice {
public:
    CPosixSerialDevice() = default;
    ~CPosixSerialDevice() override;

    static std::string DevicePath(const std::string& name);

    bool Open(const std::string& name) override;
    bool Close() override;
    bool IsOpen() const override { return m_fd >= 0; }
    intptr_t Handle() const override { return m_fd; }
    void RaiseDtr() override;
    long Write(const uint8_t* data, size_t length) override;
    bool Drain() override;
    bool QueryInput(uint32_t& errors, size_t& queued) override;
    long Read(uint8_t* data, size_t length) override;
    bool PurgeInput() override;
    bool GetLine(LineSettings& line) override;
    bool SetLine(const LineSettings& line) override;
    void WaitInput(uint64_t deadlineMs) override;

private:
    uint32_t CounterErrors();

    int m_fd = -1;
    bool m_haveCounters = false;
    serial_icounter_struct m_counters{};
};

}  // namespace pelican
