#pragma once
// The application as the link benchmark needs it: one port on a real
// serial device, a program image and the target, nothing else. The link is
// set up by the benchmark; a recovery is never expected and counts as lost.
#include <cstdint>
#include <memory>
#include <string>

#include "commands/AppHost.h"
#include "image/MotFile.h"
#include "link/SerialComm.h"

namespace pelican::bench {

class CLinkBenchHost : public IAppHost {
public:
    CLinkBenchHost(std::unique_ptr<ISerialDevice> device, IClock& clock, int target);

    CSerialComm& Port() override { return m_port; }
    CMotFile& Image() override { return m_image; }
    BoardSession& Session() override { return m_session; }
    int Target() const override { return m_target; }
    int& LinkReady() override { return m_linkReady; }
    int& IdChecked() override { return m_idChecked; }
    uint32_t SetLinkBaudRate(uint32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits,
                             const std::string& message) override;
    uint32_t RecoverLink() override;
    bool LoadCommState(CSerialCommState& state) override;
    void SaveCommState(const CSerialCommState& state) override;
    int32_t PageReadTimeout(int32_t fallback) override { return fallback; }
    ui::IBackend& Ui() override { return m_ui != nullptr ? *m_ui : ui::StandInBackend(); }
    bool SkipEmptyPages() const override { return m_skipEmptyPages; }

    // The benchmark's own back end, which times the progress windows.
    ui::IBackend* m_ui = nullptr;
    // Whether the runs leave out the pages without file data.
    bool m_skipEmptyPages = false;

    // Opens path at baud 8N1 with the standing 5000 ms read time-out.
    bool OpenLink(const std::string& path, uint32_t baud);
    int Recoveries() const { return m_recoveries; }

private:
    CSerialComm m_port;
    CMotFile m_image;
    BoardSession m_session;
    int m_target = 0;
    int m_linkReady = 1;
    int m_idChecked = 1;
    int m_recoveries = 0;
};

}  // namespace pelican::bench
