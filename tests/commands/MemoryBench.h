#pragma once
// The application at its main window on a board that has passed the ID
// check: the test's presses, then Exit. Records what the board received
// from the first press on, the messages with the virtual time they came
// at, and the progress bar's moves.
#include <cstdio>
#include <string>
#include <vector>

#include "app/AppBench.h"
#include "commands/SetAddressDlg.h"

namespace pelican::test {

using Messages = std::vector<std::pair<std::string, ui::Icon>>;

// What the close step sends at 9600 bps: the rate confirmed, asked for and
// echoed once more.
inline const Bytes kCloseStep = {0xB0, 0xB0, 0xB0};
// The main window's probe before every command.
inline const Bytes kProbe = {0x70};

inline Bytes PageRead(uint32_t address) {
    return {0xFF, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address >> 16)};
}

struct BarMove {
    int high = 0;
    int pos = 0;
};

class CMemoryBench : public CAppBench {
public:
    explicit CMemoryBench(sim::BoardConfig config = sim::BoardConfig{}) : CAppBench(std::move(config)) {
        CSetAddressDlg::ForgetTexts();
        m_ui.m_onMessage = [this](const ui::MessageRecord&) { m_messageTimes.push_back(m_sim.Clock().NowMs()); };
        m_ui.m_onProgress = [this](const std::string&, int, int high, int pos, int) {
            m_bar.push_back({high, pos});
        };
    }

    // Start-up with the ID passed, the presses, Exit; the bytes the board
    // received from the first press on (the close step's included).
    Bytes Press(const std::function<void()>& presses) {
        m_sim.PassId();
        SelectProgram();
        Run([&] {
            m_sim.ClearReceived();
            m_ui.ClearRecords();
            m_bar.clear();
            m_messageTimes.clear();
            m_pressedAt = m_sim.Clock().NowMs();
            presses();
        });
        return m_sim.Received();
    }

    // "Blank..." with the texts typed into "Input Address".
    Bytes Blank(const std::string& start, const std::string& end) {
        return Press([&] {
            m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_BLANK);
            m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, start);
            m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, end);
            m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
        });
    }

    // Writes an S-record file holding data at the given addresses and loads
    // it into the image, as "Load (ID)..." would.
    void LoadImage(const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& records) {
        std::string text;
        for (const auto& [address, data] : records) {
            unsigned sum = static_cast<unsigned>(data.size() + 4);
            char line[600];
            int n = std::snprintf(line, sizeof line, "S2%02X%06X", static_cast<unsigned>(data.size() + 4), address);
            sum += (address >> 16 & 0xFF) + (address >> 8 & 0xFF) + (address & 0xFF);
            for (uint8_t b : data) {
                n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X", b);
                sum += b;
            }
            std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "%02X\n", ~sum & 0xFF);
            text += line;
        }
        m_dir.Write("image.mot", text + "S804000000FB\n");
        m_app->m_image.Load(m_dir.File("image.mot"));
    }

    std::vector<uint64_t> m_messageTimes;  // virtual time of each message
    std::vector<BarMove> m_bar;
    uint64_t m_pressedAt = 0;
};

}  // namespace pelican::test
