#include "commands/SettingCmd.h"

#include "link/Exchange.h"
#include "commands/SetCommDlg.h"
#include "ui/Messages.h"

namespace pelican {

uint32_t CSettingCmd::Run() {
    IAppHost& host = Host();
    CSetCommDlg dlg(Host().Session());
    CSerialCommState stored(9600, 8, 0, 0);
    if (!host.LoadCommState(stored)) stored = CSerialCommState(9600, 8, 0, 0);
    uint32_t baud = stored.m_baudRate;
    dlg.SetBaudText(baud);
    if (dlg.DoModal(Ui()) != ui::IDOK) return 0;

    ui::CWaitCursor wait(Ui());
    dlg.GetBaudRate(baud);
    m_confirmed = true;
    m_asked = baud;
    const uint32_t result = host.SetLinkBaudRate(baud, stored.m_byteSize, stored.m_parity, stored.m_stopBits,
                                                 ui::LoadString(ui::IDS_CAN_NOT_SET_NEW_BAUDRATE));
    if (result == 0) {
        host.LinkReady() = 0;
        host.Port().PurgeInput();
        return 0;
    }
    host.LinkReady() = 1;
    host.SaveCommState(CSerialCommState(result, stored.m_byteSize, stored.m_parity, stored.m_stopBits));
    host.Port().PurgeInput();
    uint8_t status[2] = {0, 0};
    // The boot-loader target has no ID exchange: its device reports the ID
    // check as never tried, and the flag there means that a program file
    // was chosen, which only File Select and the recovery change.
    if (ReadStatus(host.Port(), status) == ReadResult::Ok && host.Target() != 1)
        TakeIdFlag(host.IdChecked(), status[1]);
    return result;
}

}  // namespace pelican
