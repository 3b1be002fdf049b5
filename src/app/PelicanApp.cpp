#include "app/PelicanApp.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "app/AnotherPortDlg.h"
#include "app/FirstSetDlg.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "app/SaveIni.h"
#include "commands/SettingCmd.h"
#include "commands/IDCheckDlg.h"
#include "commands/SelectDlg.h"
#include "link/Exchange.h"
#include "link/PortLock.h"
#include "link/PortNotes.h"
#include "link/PortOpenError.h"
#include "protocol/Protocol.h"
#include "sys/Text.h"
#include "ui/Messages.h"

namespace pelican {
namespace {

std::string HexByte(uint8_t byte) {
    const char* digits = "0123456789ABCDEF";
    return {digits[byte >> 4], digits[byte & 0x0F]};
}

// What to check when the board did not answer the first synchronisation.
std::string NoAnswerText(const std::string& port, const SyncResult& result) {
    const std::string board = "The board on " + port;
    const std::string bootModeOrRate =
        ".\nIs it started in boot mode, and not left at another rate by an earlier run (it then needs a RESET)?";
    switch (result.read) {
        case ReadResult::Ok:
            return board + " answered the synchronisation at 9600 bps with " + HexByte(result.answer) + ", not B0" +
                   bootModeOrRate;
        case ReadResult::LineError:
            return board + " answered the synchronisation at 9600 bps with a damaged character" + bootModeOrRate;
        case ReadResult::PortGone:
            return "The port " + port + " could not be used.\nIs it the board's port, and is its adapter plugged in?";
        case ReadResult::TimedOut: break;
    }
    return "No answer from the board on " + port +
           " at 9600 bps.\nIs it powered, wired TX to RX, and started in boot mode? Is " + port +
           " the port it is wired to?";
}

}  // namespace

CPelicanApp::CPelicanApp(std::unique_ptr<ISerialDevice> device, IClock& clock)
    : m_port(std::move(device), clock) {}

CPelicanApp::~CPelicanApp() = default;

bool CPelicanApp::LoadCommState(CSerialCommState& state) {
    CSaveIni ini;
    // A file of megabytes is no settings file, whatever made it: told, and
    // kept as it is (no save writes over a file it could not read).
    if (ini.TooLarge())
        TellSettingsNotSaved(ini.TargetPath(), "it is too large to be a settings file; it is not read and kept as it is");
    if (!ini.LoadCommState()) return false;
    state = CSerialCommState(static_cast<uint32_t>(ini.m_baudRate), ini.m_byteSize, ini.m_parity, ini.m_stopBits);
    return true;
}

void CPelicanApp::SaveCommState(const CSerialCommState& state) {
    CSaveIni ini;
    ini.SetValues(static_cast<int32_t>(state.m_baudRate), state.m_byteSize, state.m_parity, state.m_stopBits);
    std::string why;
    const CSaveIni::SaveResult saved = ini.SaveCommState(&why);
    if (saved == CSaveIni::SaveResult::ReadOnly) TellReadOnlySettings(ini.TargetPath());
    if (saved == CSaveIni::SaveResult::Failed) TellSettingsNotSaved(ini.TargetPath(), why);
}

void CPelicanApp::SetSkipEmptyPages(bool skip) {
    m_skipEmptyPages = skip;
    if (!m_pageChoiceStored) return;
    const CSaveIni ini;
    std::string why;
    const CSaveIni::SaveResult saved = ini.SaveSkipEmptyPages(skip, &why);
    if (saved == CSaveIni::SaveResult::ReadOnly) TellReadOnlySettings(ini.TargetPath());
    if (saved == CSaveIni::SaveResult::Failed) TellSettingsNotSaved(ini.TargetPath(), why);
}

void CPelicanApp::TellSettingsNotSaved(const std::string& path, const std::string& why) {
    // Said once a run, on standard error: every later save meets the same
    // folder or file, and the link itself works.
    if (m_settingsNotSavedTold) return;
    m_settingsNotSavedTold = true;
    Note("the link settings are not saved in " + path + ": " + why);
}

void CPelicanApp::Note(const std::string& text) {
    if (m_session.events != nullptr) {
        m_session.events->Note(text);
        return;
    }
    std::cerr << "pelican: " << EscapeControls(text) << '\n' << std::flush;
}

void CPelicanApp::TellReadOnlySettings(const std::string& path) {
    // Said once a run: every later save meets the same file.
    if (m_readOnlySettingsTold) return;
    m_readOnlySettingsTold = true;
    const std::string& text = ui::LoadString(ui::IDS_SETTINGS_READ_ONLY);
    Note(text.substr(0, text.size() - 2) + ": " + path);
    if (m_tellReadOnlySettings) ui::MessageBox(Ui(), ui::IDS_SETTINGS_READ_ONLY, path, ui::Icon::Information);
}

int32_t CPelicanApp::PageReadTimeout(int32_t fallback) {
    return CSaveIni().PageReadTimeout(fallback);
}

CPelicanApp::Contact CPelicanApp::FirstSynchronisation() {
    SyncResult result = Synchronise(m_port);
    if (result.Answered()) {
        m_boardHeard = true;
        return Contact::Answered;
    }
    if (m_firstContact == nullptr) return RecoverFirstContact(result);
    while (m_firstContact->NoAnswer(result)) {
        // The board was reset: what it said while it restarted goes.
        Pause(m_port, protocol::kPauseShort);
        m_port.PurgeInput();
        result = Synchronise(m_port);
        if (result.Answered()) {
            m_boardHeard = true;
            return Contact::Answered;
        }
    }
    return Contact::GaveUp;
}

CPelicanApp::Contact CPelicanApp::RecoverFirstContact(const SyncResult& result) {
    // The recovery's "Push RESET." and "Set baudrate", as the window program
    // has always had them; once the first "Push RESET." is closed, what to
    // check is said in a message of its own.
    // A port that did not open has no name of its own yet: the one chosen.
    const std::string port = m_port.PortName().empty() ? m_portChosen : m_port.PortName();
    const std::function<bool()> reset = m_resetBoard;
    bool told = false;
    m_resetBoard = [&] {
        if (!told) {
            told = true;
            ui::MessageBox(Ui(), NoAnswerText(port, result), ui::Icon::Information);
        }
        return reset ? reset() : true;
    };
    const uint32_t rate = RecoverLink();
    m_resetBoard = reset;
    return rate != 0 ? Contact::Recovered : Contact::NotUp;
}

bool CPelicanApp::ChoosePort(CS_PrgDlg& select, bool perPort) {
    for (;;) {
        if (select.DoModal(Ui()) != ui::IDOK) {
            m_startup = Startup::Cancelled;
            m_portMutex.Release();
            m_instanceMutex.Release();
            return false;
        }
        m_target = select.m_target == 1 ? 1 : 0;
        m_portChosen = select.m_port;
        if (!perPort && !m_portMutex.Acquire(PortLockName(select.m_port)) &&
            m_portMutex.Why() == CInstanceLock::Failure::Held) {
            // A batch run is programming a board on this port.
            ui::MessageBox(Ui(), ui::IDS_PORT_IN_USE, select.m_port + ".", ui::Icon::Stop);
            continue;
        }
        if (m_port.Open(select.m_port)) return true;
        m_portMutex.Release();
        if (m_endWhenPortFails) {
            m_startup = Startup::PortUnusable;
            m_instanceMutex.Release();
            return false;
        }
        // Another program has the port: say which, where the system tells,
        // and offer the choice of port again.
        if (m_port.OpenError() == EBUSY) {
            ui::MessageBox(Ui(), PortInUseText(select.m_port, m_survey ? m_survey() : PortSurvey{}) + ".",
                           ui::Icon::Stop);
            continue;
        }
        // A port this user may not open will not open after a RESET either:
        // say what to do about it and offer the choice of port again.
        if (!IsPortPermissionError(m_port.OpenError())) return true;
        ui::MessageBox(Ui(), ui::IDS_PORT_NO_PERMISSION, PortPermissionAdvice(select.m_port), ui::Icon::Stop);
    }
}

bool CPelicanApp::InitInstance() {
    m_startup = Startup::MainWindow;
    const bool perPort = !m_lockedPort.empty();
    if (!m_instanceMutex.Acquire(m_lockName)) {
        if (m_instanceMutex.Why() == CInstanceLock::Failure::Held && perPort) {
            // Two runs on one port would mix their frames on the wire.
            m_startup = Startup::PortHeld;
            ui::MessageBox(Ui(), ui::IDS_PORT_IN_USE, m_lockedPort + ".", ui::Icon::Stop);
        } else if (m_instanceMutex.Why() == CInstanceLock::Failure::Held) {
            m_startup = Startup::AlreadyRunning;
            ui::MessageBox(Ui(), ui::IDS_ALREADY_RUNNING, ui::Icon::Stop);
        } else {
            // Not another copy: the folder that holds the lock is missing
            // or cannot be written, and the user can mend that.
            m_startup = Startup::LockFolderUnusable;
            ui::MessageBox(Ui(), ui::IDS_LOCK_FOLDER,
                           m_instanceMutex.Folder() + ": " + m_instanceMutex.ErrorText() + ".",
                           ui::Icon::Stop);
        }
        return false;
    }
    m_idChecked = 0;
    if (m_pageChoiceStored) m_skipEmptyPages = CSaveIni().LoadSkipEmptyPages();

    CS_PrgDlg select(m_portList, m_portLabels);
    select.m_target = 0;
    select.m_port = m_defaultPort;
    bool withoutBoard = false;
    for (;;) {
        if (!ChoosePort(select, perPort)) return false;
        // Any port that did not open shows up as the failed
        // synchronisation and its recovery.
        ApplyPortState(m_port, 9600, 8, 0, 0);
        m_port.SetReadTimeout(protocol::kTimeoutStanding);
        // Whatever the board says while it restarts is purged below.
        if (m_onPortOpened) m_onPortOpened();
        Pause(m_port, protocol::kPauseShort);
        m_port.PurgeInput();
        const Contact contact = FirstSynchronisation();
        if (contact == Contact::GaveUp) {
            // Nothing was learnt about the link: the settings file stays as it is.
            m_startup = Startup::NoAnswer;
            m_port.Close();
            m_instanceMutex.Release();
            return false;
        }
        if (contact != Contact::NotUp) break;
        CAnotherPortDlg another(select.m_port);
        if (another.DoModal(Ui()) != ui::IDOK) {
            // Nothing answered: the stored rate and the status read would
            // each only wait out their time-outs.
            withoutBoard = true;
            break;
        }
        // Back to "Select Program": the port chosen is let go.
        m_port.Close();
        m_portMutex.Release();
    }
    if (!withoutBoard && !BringUpLink()) {
        m_startup = Startup::NoAnswer;
        m_port.Close();
        m_instanceMutex.Release();
        return false;
    }

    ShowImageDialog();
    RunMainWindow();

    if (m_beforeClose) m_beforeClose();
    m_port.Close();
    m_instanceMutex.Release();
    return false;
}

bool CPelicanApp::BringUpLink() {
    Pause(m_port, protocol::kPauseAfterSync);
    m_port.PurgeInput();

    uint32_t baud = 9600;
    uint8_t byteSize = 8, parity = 0, stopBits = 0;
    CSaveIni ini;
    if (ini.LoadCommState()) {
        byteSize = ini.m_byteSize;
        parity = ini.m_parity;
        stopBits = ini.m_stopBits;
        const auto stored = static_cast<uint32_t>(ini.m_baudRate);
        baud = m_firstContact != nullptr ? MoveToStoredRate(stored)
                                         : SetLinkBaudRate(m_port, stored, byteSize, parity, stopBits,
                                                           ui::LoadString(ui::IDS_CAN_NOT_SET_LAST_BAUDRATE));
        if (baud == 0 && m_firstContact != nullptr) return false;
        // A recovery that ended without a rate leaves the port where it is;
        // never store 0 as the rate that worked.
        if (baud == 0) {
            CSerialCommState state;
            m_port.GetState(state);
            baud = state.m_baudRate != 0 ? state.m_baudRate : 9600;
        }
    }

    m_port.PurgeInput();
    uint8_t status[2] = {0, 0};
    if (ReadStatus(m_port, status) == ReadResult::Ok) {
        m_boardHeard = true;
        m_linkReady = 1;
        SaveCommState(CSerialCommState(baud, byteSize, parity, stopBits));
        // On the boot-loader target the flag tells that File Select took a
        // file; the device's ID bits say nothing about that.
        if (m_target != 1) TakeIdFlag(m_idChecked, status[1]);
    } else {
        m_linkReady = 0;
        m_port.PurgeInput();
        CFirstSetDlg first;
        if (first.DoModal(Ui()) == ui::IDOK)
            CSettingCmd(*this).Run();
        else
            ui::MessageBox(Ui(), ui::IDS_CAN_NOT_COMMUNICATE_OUTSIDE, ui::Icon::Stop);
    }

    SendFrame(m_port, protocol::ClearStatusFrame());
    Pause(m_port, protocol::kPauseShort);
    return true;
}

void CPelicanApp::CloseStep() {
    // A board that never answered was never moved from 9600 bps: nothing to
    // bring back, and no time-out to wait for on a port that is silent.
    if (!m_boardHeard && m_linkReady == 0)
        m_closed = Closed::At9600;
    else
        m_closed = SetLink9600(m_port) ? Closed::At9600 : Closed::NotConfirmed;
    m_instanceMutex.Release();
}

int CPelicanApp::ShowImageDialog() {
    if (m_target == 1) {
        CSelectDlg select(*this);
        const int result = select.DoModal(Ui());
        if (result == ui::IDOK) m_imagePath = select.m_filePath;
        return result;
    }
    CIDCheckDlg check(*this);
    const int result = check.DoModal(Ui());
    if (result == ui::IDOK) m_imagePath = check.m_filePath;
    return result;
}

void CPelicanApp::RunMainWindow() {
    CPelicanDlg dlg(*this);
    dlg.DoModal(Ui());
}

}  // namespace pelican
