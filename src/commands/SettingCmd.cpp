#include "commands/SettingCmd.h"

#include "app/PelicanApp.h"
#include "app/SaveIni.h"
#include "link/SetCommDlg.h"
#include "ui/UiBackend.h"

namespace pelican {

uint32_t CSettingCmd::Run() {
    CPelicanApp& app = CPelicanApp::Current();
    CSetCommDlg dlg;
    CSaveIni ini;
    uint32_t baud = 9600;
    uint8_t byteSize = 8, parity = 0, stopBits = 0;
    if (ini.LoadCommState()) {
        baud = static_cast<uint32_t>(ini.m_baudRate);
        byteSize = ini.m_byteSize;
        parity = ini.m_parity;
        stopBits = ini.m_stopBits;
    }
    dlg.SetBaudText(baud);
    if (dlg.DoModal() != ui::IDOK) return 0;

    ui::CWaitCursor wait;
    dlg.GetBaudRate(baud);
    const uint32_t result = app.SetLinkBaudRate(app.m_port, baud, byteSize, parity, stopBits,
                                                "Can not set new baudrate.\nBaudrate is last baudrate now.");
    if (result == 0) {
        app.m_linkReady = 0;
        app.m_port.PurgeInput();
        return 0;
    }
    app.m_linkReady = 1;
    CSaveIni save;
    save.SetValues(static_cast<int32_t>(result), byteSize, parity, stopBits);
    save.SaveCommState();
    app.m_port.PurgeInput();
    uint8_t status[2] = {0, 0};
    if (app.ReadStatus(status)) app.TakeIdFlag(status[1]);
    return result;
}

}  // namespace pelican
