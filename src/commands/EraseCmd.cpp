#include "commands/EraseCmd.h"

#include "link/Exchange.h"
#include "link/PortWaitHook.h"
#include "link/ReadTimeoutGuard.h"
#include "ui/Messages.h"

namespace pelican {

Outcome CEraseCmd::Run() {
    const Outcome erased = EraseAll();
    if (erased == Outcome::Done) {
        ui::MessageBox(Ui(), ui::IDS_ERASE_OK, ui::Icon::Information);
        return Outcome::Done;
    }
    ui::MessageBox(Ui(), ui::IDS_ERASE_ERROR, ui::Icon::Stop);
    return erased;
}

Outcome CEraseCmd::EraseAll(ReadResult* why) {
    CSerialComm& port = Host().Port();
    ui::CWaitCursor wait(Ui());
    // None of these frames has a reply; the status read after them tells
    // how the erase went.
    SendFrame(port, protocol::ClearStatusFrame());
    Pause(port, protocol::kPauseShort);
    CDeviceId* device = Host().DeviceId();
    if (device != nullptr) device->Erasing();
    SendFrame(port, protocol::PreEraseFrame());
    Pause(port, protocol::kPauseShort);
    SendFrame(port, protocol::EraseAllFrame());
    Pause(port, protocol::kPauseShort);
    // The status reply comes only when the device has finished erasing,
    // which can take most of the time-out. Meanwhile the windows repaint and
    // answer the desktop, but take no input.
    CReadTimeoutGuard erasing(port, protocol::kTimeoutEraseAll);
    CPortWaitHook repaint(port, [&ui = Ui()] { ui.RepaintWindows(); });
    const Outcome erased = CheckStatus(port, Checked::Erase, why);
    // The ID is flash content too: erased with the rest.
    if (erased == Outcome::Done && device != nullptr) device->Taken();
    return erased;
}

}  // namespace pelican
