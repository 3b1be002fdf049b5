#include "UsbLatencyDevice.h"

#include <algorithm>
#include <chrono>

#include "sys/Clock.h"

namespace pelican::bench {

CUsbLatencyDevice::CUsbLatencyDevice(std::unique_ptr<ISerialDevice> inner, uint32_t latencyMs)
    : m_inner(std::move(inner)), m_latencyUs(uint64_t{latencyMs} * 1000) {}

CUsbLatencyDevice::~CUsbLatencyDevice() {
    Close();
}

bool CUsbLatencyDevice::Open(const std::string& name) {
    if (!m_inner->Open(name)) return false;
    m_stop = false;
    m_lastPacketUs = RealClock().NowUs();
    m_thread = std::thread([this] { Relay(); });
    return true;
}

bool CUsbLatencyDevice::Close() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    return m_inner->Close();
}

bool CUsbLatencyDevice::QueryInput(uint32_t& errors, size_t& queued) {
    std::lock_guard lock(m_mutex);
    if (!m_inner->IsOpen()) return false;
    errors = m_errors;
    m_errors = 0;
    queued = m_released.size();
    return true;
}

long CUsbLatencyDevice::Read(uint8_t* data, size_t length) {
    std::lock_guard lock(m_mutex);
    const size_t count = std::min(length, m_released.size());
    std::copy_n(m_released.begin(), count, data);
    m_released.erase(m_released.begin(), m_released.begin() + static_cast<long>(count));
    return static_cast<long>(count);
}

bool CUsbLatencyDevice::PurgeInput() {
    std::lock_guard lock(m_mutex);
    m_chip.clear();
    m_released.clear();
    return m_inner->PurgeInput();
}

void CUsbLatencyDevice::WaitInput(uint64_t deadlineMs, size_t seen) {
    std::unique_lock lock(m_mutex);
    const uint64_t now = RealClock().NowMs();
    if (deadlineMs <= now) return;
    m_arrived.wait_for(lock, std::chrono::milliseconds(deadlineMs - now),
                       [&] { return m_released.size() != seen || m_errors != 0 || m_stop; });
}

void CUsbLatencyDevice::Relay() {
    uint8_t buffer[512];
    while (!m_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        uint32_t errors = 0;
        size_t queued = 0;
        long got = 0;
        if (m_inner->QueryInput(errors, queued) && queued > 0) got = m_inner->Read(buffer, std::min(queued, sizeof buffer));
        const uint64_t now = RealClock().NowUs();
        std::lock_guard lock(m_mutex);
        m_errors |= errors;
        m_chip.insert(m_chip.end(), buffer, buffer + std::max(got, 0L));
        const size_t before = m_released.size();
        // Full packets go at once; the rest when the timer runs out, which
        // restarts with every packet (one without data too).
        while (m_chip.size() >= kPacketData) {
            m_released.insert(m_released.end(), m_chip.begin(), m_chip.begin() + kPacketData);
            m_chip.erase(m_chip.begin(), m_chip.begin() + kPacketData);
            m_lastPacketUs = now;
        }
        if (now - m_lastPacketUs >= m_latencyUs) {
            m_released.insert(m_released.end(), m_chip.begin(), m_chip.end());
            m_chip.clear();
            m_lastPacketUs = now;
        }
        if (m_released.size() != before || m_errors != 0) m_arrived.notify_all();
    }
}

}  // namespace pelican::bench
