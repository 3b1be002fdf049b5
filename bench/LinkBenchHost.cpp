#include "LinkBenchHost.h"

namespace pelican::bench {

CLinkBenchHost::CLinkBenchHost(std::unique_ptr<ISerialDevice> device, IClock& clock, int target)
    : m_port(std::move(device), clock), m_target(target) {}

uint32_t CLinkBenchHost::SetLinkBaudRate(uint32_t, uint8_t, uint8_t, uint8_t, const std::string&) {
    return 0;
}

uint32_t CLinkBenchHost::RecoverLink() {
    ++m_recoveries;
    m_linkReady = 0;
    return 0;
}

bool CLinkBenchHost::LoadCommState(CSerialCommState&) {
    return false;
}

void CLinkBenchHost::SaveCommState(const CSerialCommState&) {}

bool CLinkBenchHost::OpenLink(const std::string& path, uint32_t baud) {
    if (!m_port.Open(path)) return false;
    if (!m_port.SetState(CSerialCommState(baud, 8, 0, 0))) return false;
    m_port.SetReadTimeout(5000);
    return true;
}

}  // namespace pelican::bench
