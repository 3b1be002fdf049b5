#pragma once
// The application at its main window on a board that has passed the ID
// check: the test's presses, then Exit. Records the bytes the board took
// from the first press on, when each message came, and the bar's moves.
#include <string>
#include <vector>

#include "app/AppBench.h"
#include "commands/SetAddressDlg.h"

namespace pelican::test {

using Messages = std::vector<std::pair<std::string, ui::Icon>>;

// The main window's probe, and the close step's return to 9600 bps.
inline const Bytes kProbe = {0x70};
inline const Bytes kCloseStep = {0xB0, 0xB0, 0xB0};

inline Bytes PageRead(uint32_t address) {
    return {0xFF, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address >> 16)};
}

class CMemoryBench : public CAppBench {
public:
    explicit CMemoryBench(sim::BoardConfig config = sim::BoardConfig{}) : CAppBench(std::move(config)) {
        CSetAddressDlg::ForgetTexts();
        m_ui.m_onMessage = [this](const ui::MessageRecord&) { m_messageTimes.push_back(m_sim.Clock().NowMs()); };
        m_ui.m_onProgress = [this](const std::string&, int, int high, int pos, int) { m_bar.push_back({high, pos}); };
    }

    Bytes Press(const std::function<void()>& presses) {
        m_sim.PassId();
        SelectProgram("COM1", m_target);
        if (!m_selectFile.empty()) {
            m_ui.SetText(CSelectDlg::IDD, CSelectDlg::IDC_FILEPATH, m_selectFile);
            m_ui.Press(CSelectDlg::IDD, ui::IDOK);
        }
        Run([&] {
            m_sim.ClearReceived();
            m_ui.ClearRecords();
            m_pressedAt = m_sim.Clock().NowMs();
            presses();
        });
        return m_sim.Received();
    }

    // "Blank..." with the texts typed into "Input Address"; more may follow.
    Bytes Blank(const std::string& start, const std::string& end, const std::function<void()>& more = [] {}) {
        return Press([&] {
            m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_BLANK);
            m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, start);
            m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, end);
            m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
            more();
        });
    }

    // The target chosen in "Select Program" (1: the Orca/W boot loader), and
    // the file its File Select dialog takes at start-up.
    int m_target = 0;
    std::string m_selectFile;

    std::vector<uint64_t> m_messageTimes;
    std::vector<std::pair<int, int>> m_bar;  // upper end and position of each move
    uint64_t m_pressedAt = 0;
};

}  // namespace pelican::test
