#include "support/SimBench.h"

#include <csignal>
#include <memory>

#include "sim/MemoryLink.h"
#include "sim/SimMemory.h"

namespace pelican::test {
namespace {

uint8_t CodeOf(uint32_t baud) {
    switch (baud) {
        case 19200: return 0xB1;
        case 38400: return 0xB2;
        case 57600: return 0xB3;
        case 115200: return 0xB4;
        default: return 0xB0;
    }
}

}  // namespace

CSimBench::CSimBench(sim::BoardConfig config) : m_board(std::move(config)) {}

std::unique_ptr<ISerialDevice> CSimBench::MakeDevice(const std::string& portName) {
    return std::make_unique<sim::CMemoryLink>(m_board, m_clock, portName);
}

std::unique_ptr<CSerialComm> CSimBench::OpenPort(uint32_t baud) {
    auto port = std::make_unique<CSerialComm>(MakeDevice(), m_clock);
    port->Open("COM1");
    port->SetState(CSerialCommState(baud, 8, 0, 0));
    port->SetReadTimeout(5000);
    return port;
}

size_t CSimBench::FramesOf(uint8_t code) const {
    size_t count = 0;
    for (const auto& frame : m_board.Frames()) count += frame.bytes.at(0) == code ? 1 : 0;
    return count;
}

void CSimBench::RaiseAt(uint8_t code, unsigned n, int signal, unsigned times) {
    auto seen = std::make_shared<unsigned>(0);
    m_board.SetFrameObserver([=](const sim::SimFrame& frame) {
        if (frame.bytes.at(0) == code && ++*seen >= n && *seen < n + times) std::raise(signal);
    });
}

void CSimBench::Synchronise(uint32_t baud) {
    if (!m_board.Synchronised()) {
        const Bytes zeros(sim::CBootLoader::kSyncZeros, 0x00);
        m_board.Inject(zeros.data(), zeros.size(), m_clock.NowUs());
    }
    const uint8_t code = CodeOf(baud);
    m_board.Inject(&code, 1, m_clock.NowUs());
    m_board.DiscardReplies();
    m_board.ClearLog();
}

void CSimBench::PassId(uint32_t baud) {
    Synchronise(baud);
    const sim::BoardConfig config = m_board.Config();
    const uint32_t area = sim::CSimMemory::IdArea(config.type);
    Bytes frame{0xF5, static_cast<uint8_t>(area), static_cast<uint8_t>(area >> 8),
                static_cast<uint8_t>(area >> 16), 0x07};
    for (uint8_t b : m_board.StoredId()) frame.push_back(b);
    m_board.Inject(frame.data(), frame.size(), m_clock.NowUs());
    m_board.DiscardReplies();
    m_board.ClearLog();
}

sim::BoardConfig BootBoard() {
    sim::BoardConfig config;
    config.type = sim::DeviceType::OrcaW;
    config.requireId = false;
    return config;
}

Bytes Exchange(CSerialComm& port, const Bytes& frame, size_t replyLength) {
    port.Send(frame.data(), frame.size());
    if (replyLength == 0) return {};
    Bytes reply(replyLength);
    if (port.Receive(reply.data(), reply.size()) != static_cast<int>(replyLength)) return {};
    return reply;
}

}  // namespace pelican::test
