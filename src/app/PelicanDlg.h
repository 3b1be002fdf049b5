#pragma once
// The main window: one button per operation. Each press checks the flags,
// proves the link with a status read, and runs its command to completion.
#include <cstdint>
#include <string>

#include "commands/Outcome.h"
#include "link/SerialComm.h"
#include "ui/Dialog.h"

namespace pelican {

class CPelicanApp;

class CPelicanDlg : public ui::CDialog {
public:
    enum {
        IDD = 102,
        IDC_LOAD = 1005,
        IDC_BLANK = 1006,
        IDC_READ = 1007,
        IDC_STATUS = 1034,
        IDC_EPR = 1010,
        IDC_BPR = 1008,
        IDC_PROGRAM = 1009,
        IDC_ERASE = 1000,
        IDC_SETTING = 1015,
        IDC_DOWNLOAD = 1063,
        IDC_VERSION = 1064,
        // The status line below "Exit": link, file, ID and the last result.
        IDC_STATE = 1100,
        IDM_ABOUTBOX = ui::kAboutCommand,
        IDM_SAVEFLASH = ui::kSaveFlashCommand,
        IDM_SKIPEMPTY = ui::kSkipEmptyPagesCommand,
    };

    explicit CPelicanDlg(CPelicanApp& app);
    static const ui::DialogTemplate& Template102();
    ui::IBackend& Ui() const override;

    // The File menu's check item shows the choice in force.
    bool OnInitDialog() override;
    // A button or menu command. While one runs, the window is disabled and
    // a press that still reaches it starts nothing.
    void OnCommand(int id) override;
    // Exit, Escape and the close box; nothing while a command runs.
    void OnCancel() override;
    // The main window has no default button: Enter does nothing.
    void OnOK() override {}

    int CheckLinkAndId();
    // The purge and status read before a command; 0 after its recovery
    // (why, when given, says how the read ended).
    int ProbeLink(ReadResult* why = nullptr);

    // Saves start to end of the flash to path, with the checks of a memory
    // button; how it ended, also kept as LastOutcome.
    Outcome SaveFlash(uint32_t start, uint32_t end, const std::string& path);

    // How the last command run from this window ended (Done before any).
    Outcome LastOutcome() const { return m_lastOutcome; }
    // The command the status line reports as run last, and how it ended.
    void SetLastResult(int button, Outcome outcome);
    // Whether a command started from this window is running.
    bool Running() const { return m_running; }

private:
    // Marks a command as running for its lifetime and keeps the window
    // disabled until it has ended.
    class CRunning;

    void Dispatch(int id);
    // Writes the link, file, ID and last result into the status line.
    void ShowState();
    // The first half of CheckLinkAndId: the link alone.
    int CheckLink();
    // The checks and the link probe before a command; false when the press
    // ends there (m_lastOutcome says how).
    bool MayRun(bool needsId);
    // "Setting...": done only when the link runs at the rate asked for.
    Outcome RunSetting();
    CPelicanApp& App() { return m_app; }

    CPelicanApp& m_app;
    Outcome m_lastOutcome = Outcome::Done;
    // The button whose command ended last (0 before any).
    int m_lastButton = 0;
    bool m_running = false;
};

}  // namespace pelican
