#pragma once
// A serial device seen through a USB serial bridge with a latency timer, as
// FTDI's chips have one: what the board sends collects in the chip's
// buffer and goes to the host in USB packets of at most 62 data bytes, a
// packet when the buffer holds that much, and otherwise whatever it holds
// when the timer runs out, the timer counting from the last packet sent.
// The end of every reply, and every short reply, thus waits up to the
// timer's length. The host's bytes go to the board as they are written.
//
// A relay thread takes the inner device's input every millisecond (a
// full-speed USB host asks for input once a frame) into the chip's buffer;
// the caller sees only the packets that left it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "link/SerialDevice.h"

namespace pelican::bench {

class CUsbLatencyDevice final : public ISerialDevice {
public:
    CUsbLatencyDevice(std::unique_ptr<ISerialDevice> inner, uint32_t latencyMs);
    ~CUsbLatencyDevice() override;
    CUsbLatencyDevice(const CUsbLatencyDevice&) = delete;
    CUsbLatencyDevice& operator=(const CUsbLatencyDevice&) = delete;

    static constexpr size_t kPacketData = 62;  // 64-byte packets less two status bytes

    bool Open(const std::string& name) override;
    int OpenError() const override { return m_inner->OpenError(); }
    bool Close() override;
    bool IsOpen() const override { return m_inner->IsOpen(); }
    intptr_t Handle() const override { return m_inner->Handle(); }
    void RaiseDtr() override { m_inner->RaiseDtr(); }
    int SetModemLine(ModemLine line, bool on) override { return m_inner->SetModemLine(line, on); }
    long Write(const uint8_t* data, size_t length) override { return m_inner->Write(data, length); }
    DrainResult Drain(uint64_t deadlineMs) override { return m_inner->Drain(deadlineMs); }
    bool QueryInput(uint32_t& errors, size_t& queued) override;
    long Read(uint8_t* data, size_t length) override;
    bool PurgeInput() override;
    bool GetLine(LineSettings& line) override { return m_inner->GetLine(line); }
    bool SetLine(const LineSettings& line) override { return m_inner->SetLine(line); }
    void WaitInput(uint64_t deadlineMs, size_t seen) override;

private:
    void Relay();

    std::unique_ptr<ISerialDevice> m_inner;
    const uint64_t m_latencyUs;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<uint8_t> m_chip;      // in the bridge, not yet sent to the host
    std::deque<uint8_t> m_released;  // at the host
    uint32_t m_errors = 0;
    uint64_t m_lastPacketUs = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace pelican::bench
