#include "app/PelicanApp.h"

#include <algorithm>
#include <filesystem>

#include "app/FirstSetDlg.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "app/SaveIni.h"
#include "commands/SettingCmd.h"
#include "image/IDCheckDlg.h"
#include "image/SelectDlg.h"
#include "protocol/Protocol.h"
#include "ui/UiBackend.h"

namespace pelican {
namespace {

CPelicanApp* g_current = nullptr;

// Kernel names of serial devices worth offering besides COM1 to COM4
// (/dev/ttyS0 to /dev/ttyS3): USB adapters, CDC modems, on-chip UARTs.
bool IsSerialDeviceName(const std::string& name) {
    static const char* const kPrefixes[] = {"ttyUSB", "ttyACM", "ttyAMA", "ttyXRUSB", "ttyCH343USB", "rfcomm"};
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&name](const char* prefix) { return name.rfind(prefix, 0) == 0; });
}

}  // namespace

CPelicanApp::CPelicanApp() : m_port() {
    g_current = this;
}

CPelicanApp::CPelicanApp(std::unique_ptr<ISerialDevice> device, IClock& clock)
    : m_port(std::move(device), clock) {
    g_current = this;
}

CPelicanApp::~CPelicanApp() {
    if (g_current == this) g_current = nullptr;
}

CPelicanApp& CPelicanApp::Current() {
    return *g_current;
}

std::vector<std::string> CPelicanApp::PortList() {
    std::vector<std::string> ports = {"COM1", "COM2", "COM3", "COM4"};
    // Listed from sysfs so that no device is opened (opening can reset a
    // board through DTR).
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/tty", error)) {
        const std::string name = entry.path().filename().string();
        if (IsSerialDeviceName(name) && std::filesystem::exists("/dev/" + name, error))
            found.push_back("/dev/" + name);
    }
    std::sort(found.begin(), found.end());
    ports.insert(ports.end(), found.begin(), found.end());
    return ports;
}

void CPelicanApp::Pause(uint32_t ms) {
    m_port.Clock().Sleep(ms);
}

int CPelicanApp::SendFrame(const std::vector<uint8_t>& frame) {
    return m_port.Send(frame.data(), frame.size());
}

bool CPelicanApp::ReadStatus(uint8_t status[2]) {
    SendFrame(protocol::ReadStatusFrame());
    return m_port.Receive(status, protocol::kStatusReplyLength) != 0;
}

void CPelicanApp::TakeIdFlag(uint8_t statusByte2) {
    switch (protocol::IdStateOf(statusByte2)) {
        case protocol::IdState::Passed: m_idChecked = 1; break;
        case protocol::IdState::NotTried:
        case protocol::IdState::Rejected: m_idChecked = 0; break;
        case protocol::IdState::Undefined: break;
    }
}

void CPelicanApp::Synchronise() {
    SendFrame({protocol::kBaud9600});
    Pause(protocol::kPauseShort);
    for (size_t i = 0; i < protocol::kSyncZeros; ++i) {
        SendFrame({protocol::kSyncFill});
        Pause(protocol::kPauseSyncByte);
    }
    Pause(protocol::kPauseShort);
    uint8_t echo = 0;
    if (m_port.Receive(&echo, 1) == 0 || echo != protocol::kBaud9600) RecoverLink();
}

bool CPelicanApp::InitInstance() {
    if (!m_instanceMutex.Acquire("PELICAN.exe")) {
        ui::MessageBox("This program is already running.", ui::Icon::Stop);
        return false;
    }
    m_idChecked = 0;

    CS_PrgDlg select(PortList());
    select.m_target = 0;
    select.m_port = m_defaultPort;
    if (select.DoModal() != ui::IDOK) {
        m_instanceMutex.Release();
        return false;
    }
    m_target = select.m_target == 1 ? 1 : 0;

    // A port that does not open shows up as the failed synchronisation.
    m_port.Open(select.m_port);
    ApplyPortState(m_port, 9600, 8, 0, 0);
    m_port.SetReadTimeout(protocol::kTimeoutStanding);
    Pause(protocol::kPauseShort);
    m_port.PurgeInput();
    Synchronise();
    Pause(protocol::kPauseAfterSync);
    m_port.PurgeInput();

    uint32_t baud = 9600;
    uint8_t byteSize = 8, parity = 0, stopBits = 0;
    CSaveIni ini;
    if (ini.LoadCommState()) {
        byteSize = ini.m_byteSize;
        parity = ini.m_parity;
        stopBits = ini.m_stopBits;
        baud = SetLinkBaudRate(m_port, static_cast<uint32_t>(ini.m_baudRate), byteSize, parity, stopBits,
                               "Can not set last baudrate.\nBaudrate is 9600bps now.");
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
    if (ReadStatus(status)) {
        m_linkReady = 1;
        CSaveIni save;
        save.SetValues(static_cast<int32_t>(baud), byteSize, parity, stopBits);
        save.SaveCommState();
        TakeIdFlag(status[1]);
    } else {
        m_linkReady = 0;
        m_port.PurgeInput();
        CFirstSetDlg first;
        if (first.DoModal() == ui::IDOK)
            CSettingCmd().Run();
        else
            ui::MessageBox("Can not communicate to outside.", ui::Icon::Stop);
    }

    SendFrame(protocol::ClearStatusFrame());
    Pause(protocol::kPauseShort);

    ShowImageDialog();
    RunMainWindow();

    m_port.Close();
    m_instanceMutex.Release();
    return false;
}

void CPelicanApp::CloseStep() {
    SetLink9600(m_port);
    m_instanceMutex.Release();
}

void CPelicanApp::ShowImageDialog() {
    if (m_target == 1) {
        CSelectDlg select;
        select.DoModal();
    } else {
        CIDCheckDlg check;
        check.DoModal();
    }
}

void CPelicanApp::RunMainWindow() {
    CPelicanDlg dlg;
    dlg.DoModal();
}

}  // namespace pelican
