#include "commands/StatesCmd.h"

#include "commands/StatesDlg.h"
#include "link/Exchange.h"

namespace pelican {

Outcome CStatesCmd::Run() {
    uint8_t status[2] = {0, 0};
    if (ReadStatus(Host().Port(), status) != ReadResult::Ok) {
        Host().RecoverLink();
        return Outcome::LinkLost;
    }
    CStatesDlg dlg;
    dlg.SetStatus(status[0], status[1]);
    dlg.DoModal(Ui());
    return Outcome::Done;
}

}  // namespace pelican
