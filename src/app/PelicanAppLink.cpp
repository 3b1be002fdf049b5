// Link bring-up, baud-rate changes, the return to 9600 bps and the recovery.
#include "app/PelicanApp.h"
#include "app/SaveIni.h"
#include "commands/SettingCmd.h"
#include "link/Exchange.h"
#include "protocol/Protocol.h"
#include "ui/Messages.h"

namespace pelican {
namespace {

// Between the first code of a baud-rate change and the echo at the new rate
// the device and the port may run at different rates: nothing else may use
// the link until the change is over.
class CRateChange {
public:
    explicit CRateChange(int& depth) : m_depth(depth) { ++m_depth; }
    ~CRateChange() { --m_depth; }
    CRateChange(const CRateChange&) = delete;
    CRateChange& operator=(const CRateChange&) = delete;

private:
    int& m_depth;
};

}  // namespace

int CPelicanApp::ApplyPortState(CSerialComm& port, uint32_t baud, uint8_t byteSize, uint8_t parity,
                                uint8_t stopBits) {
    return port.SetState(CSerialCommState(baud, byteSize, parity, stopBits));
}

uint8_t CPelicanApp::BaudRateCode(uint32_t baud) {
    return protocol::BaudRateCode(baud);
}

int CPelicanApp::ChangeBaudRate(uint32_t current, uint32_t next) {
    m_port.PurgeInput();
    Pause(m_port, protocol::kPauseShort);
    // The boot loader first confirms the rate it runs at, then takes the
    // new code at the old rate; only then may the host follow.
    for (const uint32_t rate : {current, next}) {
        const uint8_t code = BaudRateCode(rate);
        uint8_t echo = 0;
        SendFrame(m_port, {code});
        if (m_port.Receive(&echo, 1) == 0 || echo != code) {
            m_port.PurgeInput();
            return 0;
        }
        Pause(m_port, protocol::kPauseBaudStep);
    }
    return 1;
}

uint32_t CPelicanApp::SetLinkBaudRate(CSerialComm& port, uint32_t baud, uint8_t, uint8_t, uint8_t,
                                      const std::string& message) {
    // The port went away in a recovery: its adapter may be back by now.
    if (!m_awayPort.empty()) {
        if (!PortBack()) return RecoverLink();
        SendSynchronisation();
    }
    {
        CRateChange change(m_rateChanges);
        CSerialCommState state;
        port.GetState(state);
        if (!ChangeBaudRate(state.m_baudRate, baud)) {
            ui::MessageBox(Ui(), message, ui::Icon::Warning);
            port.GetState(state);
            baud = state.m_baudRate;
        }
        ApplyPortState(port, baud, 8, 0, 0);
        const uint8_t code = BaudRateCode(baud);
        uint8_t echo = 0;
        SendFrame(m_port, {code});
        if (port.Receive(&echo, 1) != 0 && echo == code) {
            m_boardHeard = true;
            return baud;
        }
    }
    return RecoverLink();
}

uint32_t CPelicanApp::MoveToStoredRate(uint32_t stored) {
    bool taken = false;
    {
        CRateChange change(m_rateChanges);
        CSerialCommState state;
        m_port.GetState(state);
        uint32_t rate = stored;
        if (ChangeBaudRate(state.m_baudRate, stored)) {
            taken = true;
        } else {
            // The code was not echoed: the board stays at the rate it has.
            m_firstContact->StoredRateRefused(stored);
            m_port.GetState(state);
            rate = state.m_baudRate;
        }
        ApplyPortState(m_port, rate, 8, 0, 0);
        const uint8_t code = BaudRateCode(rate);
        uint8_t echo = 0;
        SendFrame(m_port, {code});
        if (m_port.Receive(&echo, 1) != 0 && echo == code) return rate;
    }
    // The stored rate did not work: the next run starts at 9600 bps.
    SaveCommState(CSerialCommState(9600, 8, 0, 0));
    ApplyPortState(m_port, 9600, 8, 0, 0);
    if (!m_firstContact->StoredRateLost(stored, taken)) return 0;
    Pause(m_port, protocol::kPauseShort);
    m_port.PurgeInput();
    if (FirstSynchronisation() == Contact::GaveUp) return 0;
    Pause(m_port, protocol::kPauseAfterSync);
    m_port.PurgeInput();
    return 9600;
}

bool CPelicanApp::SetLink9600(CSerialComm& port) {
    CRateChange change(m_rateChanges);
    CSerialCommState state;
    port.GetState(state);
    if (!ChangeBaudRate(state.m_baudRate, 9600)) {
        ui::MessageBox(Ui(), ui::IDS_CAN_NOT_SET_9600, ui::Icon::Warning);
        return false;
    }
    ApplyPortState(port, 9600, 8, 0, 0);
    uint8_t echo = 0;
    SendFrame(m_port, {protocol::kBaud9600});
    if (port.Receive(&echo, 1) == 0 || echo != protocol::kBaud9600) {
        ui::MessageBox(Ui(), ui::IDS_CAN_NOT_SET_9600, ui::Icon::Stop);
        return false;
    }
    return true;
}

void CPelicanApp::SendSynchronisation() {
    ApplyPortState(m_port, 9600, 8, 0, 0);
    // Synchronise without waiting for a reply: the baud-rate change that
    // follows proves the link.
    SendFrame(m_port, {protocol::kBaud9600});
    Pause(m_port, protocol::kPauseShort);
    for (size_t i = 0; i < protocol::kSyncZeros; ++i) {
        SendFrame(m_port, {protocol::kSyncFill});
        Pause(m_port, protocol::kPauseRecoverySyncByte);
    }
    Pause(m_port, protocol::kPauseShort);
}

bool CPelicanApp::PortBack() {
    if (m_endWhenPortFails) return true;
    // The handle of a device that went away stays open and fails every
    // call; only a new open reaches the adapter once it is back.
    if (m_awayPort.empty() && m_port.IsOpen() && m_port.DeviceFailed()) {
        m_awayPort = m_port.PortName();
        m_port.Close();
    }
    if (m_awayPort.empty()) return true;
    if (!m_port.Open(m_awayPort)) return false;
    m_awayPort.clear();
    return true;
}

uint32_t CPelicanApp::RecoverLink() {
    ++m_recoveries;
    // A recovery asked for while one runs (its own baud-rate change failed)
    // is taken up by the running one's loop, so the stack never grows.
    if (m_inRecovery) {
        m_recoverAgain = true;
        return 0;
    }
    m_inRecovery = true;
    uint32_t result = 0;
    do {
        m_recoverAgain = false;
        m_port.PurgeInput();
        // While the port is away a RESET cannot help: the user is told
        // where the link went instead.
        if (m_awayPort.empty())
            ui::MessageBox(Ui(), m_port.m_timedOut ? ui::IDS_TIMEOUT_PUSH_RESET : ui::IDS_COMM_ERROR_PUSH_RESET,
                           ui::Icon::Stop);
        m_boardReset = m_resetBoard ? m_resetBoard() : true;
        m_linkReady = 0;
        m_idChecked = 0;
        SaveCommState(CSerialCommState(9600, 8, 0, 0));
        if (PortBack()) {
            SendSynchronisation();
        } else {
            const std::string why = m_port.Fault().text;
            ui::MessageBox(Ui(),
                           ui::FormatString(ui::IDS_PORT_WENT_AWAY, {m_awayPort, why.empty() ? why : " (" + why + ")"}),
                           ui::Icon::Stop);
        }
        // "Set baudrate" tries the port again on OK; Cancel ends the recovery.
        result = CSettingCmd(*this).Run();
    } while (m_recoverAgain);
    m_inRecovery = false;
    return result;
}

}  // namespace pelican
