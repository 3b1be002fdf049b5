#pragma once
// The application at its main window on a board that has passed the ID
// check: the test's presses, then Exit. Records the bytes the board took
// from the first press on, when each message came, and the bar's moves.
#include <algorithm>
#include <string>
#include <vector>

#include "app/AppBench.h"
#include "commands/SetAddressDlg.h"
#include "support/AtRest.h"
#include "support/FrameEncoder.h"
#include "support/SRecordText.h"
#include "ui/Messages.h"

namespace pelican::test {

using Messages = std::vector<std::pair<std::string, ui::Icon>>;

// The main window's probe, and the close step's return to 9600 bps.
inline const Bytes kProbe = {0x70};
inline const Bytes kCloseStep = {0xB0, 0xB0, 0xB0};
using wire::Cat;
using wire::PageProgram;
using wire::PageRead;

inline std::string S2(uint32_t address, const Bytes& data) {
    return S2Record(address, data.data(), data.size());
}

class CMemoryBench : public CAppBench {
public:
    explicit CMemoryBench(sim::BoardConfig config = sim::BoardConfig{}) : CAppBench(std::move(config)) {
        m_ui.m_onMessage = [this](const ui::MessageRecord&) { m_messageTimes.push_back(m_sim.Clock().NowMs()); };
        // The user told to push RESET does, when the test says so.
        m_app->m_resetBoard = [this] {
            if (m_resetOnPushReset) m_sim.Board().Reset();
            return true;
        };
        m_ui.m_onProgress = [this](const std::string& title, int, int high, int pos, int) {
            // The erase window's bar counts seconds, not pages.
            if (title == "Erase") return;
            m_bar.push_back({high, pos});
            if (m_titles.empty() || m_titles.back() != title) m_titles.push_back(title);
            if (m_onBar) m_onBar(title);
        };
    }

    // The image as the ID Check dialog would have loaded it.
    void LoadImage(const std::string& records) {
        m_dir.Write("image.mot", records + "S804000000FB\n");
        m_app->m_image.Read(m_dir.File("image.mot"));
    }

    // A memory button that asks "Input Address", with the texts typed there.
    Bytes Ranged(int button, const std::string& start, const std::string& end,
                 const std::function<void()>& more = [] {}) {
        return Press([&] {
            m_ui.Press(CPelicanDlg::IDD, button);
            m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_START, start);
            m_ui.SetText(CSetAddressDlg::IDD, CSetAddressDlg::IDC_END, end);
            m_ui.Press(CSetAddressDlg::IDD, ui::IDOK);
            more();
        });
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

    bool m_resetOnPushReset = false;
    std::function<void(const std::string& title)> m_onBar;  // at every bar move
    std::vector<std::string> m_titles;  // of the progress windows, in order
    std::vector<uint64_t> m_messageTimes;
    std::vector<std::pair<int, int>> m_bar;  // upper end and position of each move
    uint64_t m_pressedAt = 0;
};

}  // namespace pelican::test
