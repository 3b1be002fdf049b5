// The board's state as its front ends and the tests see it: reset,
// accessors, memory peeks and pokes, faults and the logs.
#include <algorithm>

#include "sim/BootLoader.h"

namespace pelican::sim {

void CBootLoader::Reset() {
    std::lock_guard lock(m_mutex);
    if (!m_frame.empty()) {
        Log(SimFrame{m_lastByteUs, std::move(m_frame), false});
        m_frame.clear();
    }
    m_synchronised = false;
    m_baud = 9600;
    m_zeroRun = 0;
    m_eraseArmed = false;
    m_busyUntilUs = 0;
    m_silent = false;
    m_errors1 = 0;
    m_flags2 = 0;
    m_idState = 0;
    m_transmitter.Clear();
}

bool CBootLoader::Synchronised() const {
    std::lock_guard lock(m_mutex);
    return m_synchronised;
}

uint32_t CBootLoader::BaudRate() const {
    std::lock_guard lock(m_mutex);
    return m_baud;
}

SimStatus CBootLoader::Status() const {
    std::lock_guard lock(m_mutex);
    return SimStatus{Byte1(), Byte2()};
}

bool CBootLoader::Silent() const {
    std::lock_guard lock(m_mutex);
    return m_silent;
}

bool CBootLoader::Unplugged() const {
    std::lock_guard lock(m_mutex);
    return m_unplugged;
}

void CBootLoader::Replug() {
    std::lock_guard lock(m_mutex);
    m_unplugged = false;
}

uint64_t CBootLoader::BusyUntilUs() const {
    std::lock_guard lock(m_mutex);
    return m_busyUntilUs;
}

uint8_t CBootLoader::Peek(uint32_t address) const {
    std::lock_guard lock(m_mutex);
    return m_memory.Read(address);
}

std::vector<uint8_t> CBootLoader::Peek(uint32_t address, size_t length) const {
    std::lock_guard lock(m_mutex);
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = m_memory.Read(static_cast<uint32_t>(address + i));
    return bytes;
}

void CBootLoader::Poke(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < bytes.size(); ++i) m_memory.Write(static_cast<uint32_t>(address + i), bytes[i]);
}

IdBytes CBootLoader::StoredId() const {
    std::lock_guard lock(m_mutex);
    IdBytes id{};
    for (size_t i = 0; i < id.size(); ++i) id[i] = m_memory.Read(CSimMemory::IdAddress(m_config.type, i));
    return id;
}

BoardConfig CBootLoader::Config() const {
    std::lock_guard lock(m_mutex);
    return m_config;
}

void CBootLoader::SetFaults(const SimFaults& faults) {
    std::lock_guard lock(m_mutex);
    m_config.faults = faults;
    m_counts.fill(0);
    ConfigureNoise();
}

SimNoise CBootLoader::NoiseFlips() const {
    std::lock_guard lock(m_mutex);
    return SimNoise{m_noiseToBoard.Flips(), m_noiseToHost.Flips()};
}

std::string CBootLoader::LoadError() const {
    std::lock_guard lock(m_mutex);
    return m_loadError;
}

std::vector<uint8_t> CBootLoader::ReceivedBytes() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::vector<SimFrame> CBootLoader::Frames() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

void CBootLoader::ClearLog() {
    std::lock_guard lock(m_mutex);
    m_received.clear();
    m_frames.clear();
    m_lineErrors = 0;
}

size_t CBootLoader::LineErrors() const {
    std::lock_guard lock(m_mutex);
    return m_lineErrors;
}

void CBootLoader::SetFrameObserver(std::function<void(const SimFrame&)> observer) {
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

}  // namespace pelican::sim
