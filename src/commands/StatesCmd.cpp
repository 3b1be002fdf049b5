#include "commands/StatesCmd.h"

#include "app/PelicanApp.h"
#include "commands/StatesDlg.h"

namespace pelican {

int CStatesCmd::Run() {
    CPelicanApp& app = CPelicanApp::Current();
    uint8_t status[2] = {0, 0};
    if (!app.ReadStatus(status)) {
        app.RecoverLink();
        return 0;
    }
    CStatesDlg dlg;
    dlg.SetStatus(status[0], status[1]);
    dlg.DoModal();
    return 1;
}

}  // namespace pelican
