#pragma once
// The application on the simulated board: virtual clock, scripted windows,
// settings file and single-instance lock in a temporary folder.
#include <cstdlib>
#include <functional>
#include <memory>

#include "commands/SelectDlg.h"
#include "commands/IDCheckDlg.h"
#include "app/S_PrgDlg.h"
#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "commands/SetCommDlg.h"
#include "sim/MemoryLink.h"
#include "support/ScopedEnvironment.h"
#include "support/SimBench.h"
#include "support/TempDir.h"
#include "ui/scripted/ScriptedBackend.h"

namespace pelican::test {

class CAppBench {
public:
    explicit CAppBench(sim::BoardConfig config = sim::BoardConfig{}) : m_sim(std::move(config)) {
        m_env.Set("XDG_CONFIG_HOME", m_dir.Path());
        m_env.Set("XDG_RUNTIME_DIR", m_dir.Path());
        m_env.Set("APPDATA", m_dir.Path());  // where Windows keeps the settings
        auto device = m_sim.MakeDevice("COM1");
        m_link = static_cast<sim::CMemoryLink*>(device.get());
        m_app = std::make_unique<CPelicanApp>(std::move(device), m_sim.Clock());
        m_app->SetUi(m_shownOn);
        // The main window runs whatever the test asks for once it is up, then Exit.
        m_ui.m_onIdle = [this](ui::CDialog& dialog) {
            // The start-up's file/ID dialog is cancelled unless the test scripts it.
            if (dialog.Template().id == CIDCheckDlg::IDD || dialog.Template().id == CSelectDlg::IDD) {
                m_ui.Press(dialog.Template().id, ui::IDCANCEL);
                return;
            }
            if (dialog.Template().id != CPelicanDlg::IDD || m_exited) return;
            if (!m_started) {
                m_started = true;
                if (m_atMainWindow) m_atMainWindow();
                // Exit once the presses asked for have run.
                if (!m_ui.ScriptDone()) return;
            }
            m_exited = true;
            m_lastOutcome = static_cast<CPelicanDlg&>(dialog).LastOutcome();
            m_mainEnabledAtExit = dialog.Host() != nullptr && dialog.Host()->IsWindowEnabled();
            m_receivedBeforeExit = m_sim.Received();
            m_ui.Press(CPelicanDlg::IDD, ui::IDCANCEL);
        };
    }

    // "Select Program" with the target and port given.
    void SelectProgram(const std::string& port = "COM1", int target = 0) {
        m_ui.SetCheck(CS_PrgDlg::IDD, target == 1 ? CS_PrgDlg::IDC_BOOTLOADER : CS_PrgDlg::IDC_FLASH);
        m_ui.SetText(CS_PrgDlg::IDD, CS_PrgDlg::IDC_PORT, port);
        m_ui.Press(CS_PrgDlg::IDD, ui::IDOK);
    }
    // Runs start-up, the scripted presses and Exit; atMainWindow runs when
    // the main window has nothing more to do (before Exit is pressed).
    void Run(std::function<void()> atMainWindow = nullptr) {
        m_atMainWindow = std::move(atMainWindow);
        // A test may have put an application of its own in place.
        m_app->SetUi(m_shownOn);
        m_app->InitInstance();
    }

    std::string Settings() const { return m_dir.Read("pelican.INI"); }
    void WriteSettings(const std::string& text) const { m_dir.Write("pelican.INI", text); }
    void StoreRate(uint32_t baud) const {
        WriteSettings("[Last Comm State]\nBaundrate=" + std::to_string(baud) + "\nByte=8\nStop Bit=0\nParity=0\n");
    }
    static std::string CleanSection(uint32_t baud) {
        return "[Last Comm State]\nBaundrate=" + std::to_string(baud) + "\nByte=8\nStop Bit=0\nParity=0\n";
    }
    std::vector<std::pair<std::string, ui::Icon>> Messages() const {
        std::vector<std::pair<std::string, ui::Icon>> out;
        for (const auto& m : m_ui.m_messages) out.emplace_back(m.text, m.icon);
        return out;
    }

    CScopedEnv m_env;  // given back last, after everything that reads it
    CTempDir m_dir;
    CSimBench m_sim;
    ui::CScriptedBackend m_ui;
    // Where the application's windows and messages go: the script, or real
    // windows in a test that puts them in its place.
    ui::IBackend* m_shownOn = &m_ui;
    std::unique_ptr<CPelicanApp> m_app;
    sim::CMemoryLink* m_link = nullptr;  // the app's device
    std::function<void()> m_atMainWindow;
    bool m_started = false;
    bool m_exited = false;
    // How the last button pressed at the main window ended.
    Outcome m_lastOutcome = Outcome::Done;
    // Whether the main window took input again when Exit was pressed.
    bool m_mainEnabledAtExit = false;
    // What the board had received when Exit was pressed (since the test's
    // presses began, when they clear the record).
    Bytes m_receivedBeforeExit;
};

}  // namespace pelican::test
