#include "commands/EraseCmd.h"

#include "commands/ProgressNote.h"
#include "link/Exchange.h"
#include "link/PortWaitHook.h"
#include "link/ReadTimeoutGuard.h"
#include "ui/Messages.h"
#include "ui/ProgressDlg.h"

namespace pelican {
namespace {

constexpr const char* kEraseTitle = "Erase";
constexpr const char* kErasing = "Erasing the flash.";

}  // namespace

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
    // Nothing else moves for up to 40 s: a window tells how long the erase
    // has been waited for. The device cannot be stopped in its erase, so
    // the window offers no Cancel.
    int closed = 0;
    const auto progress = ui::CProgressDlg::OpenProgress(Ui(), &closed);
    const uint64_t began = port.Clock().NowMs();
    if (progress) {
        // The bar fills by the second toward the time-out: the most the
        // erase may take, not a measure of what is left.
        progress->BeginProgress(kErasing, kEraseTitle, 0, static_cast<int>(protocol::kTimeoutEraseAll / 1000), 0);
        progress->EnableCancel(false);
        progress->SetProgressNote(CProgressNote::Erase(0, protocol::kTimeoutEraseAll));
    }
    uint64_t shownSeconds = 0;
    CPortWaitHook repaint(port, [&] {
        const uint64_t elapsed = port.Clock().NowMs() - began;
        if (progress && elapsed / 1000 != shownSeconds) {
            shownSeconds = elapsed / 1000;
            progress->SetProgressNote(CProgressNote::Erase(elapsed, protocol::kTimeoutEraseAll));
            progress->SetProgressPos(static_cast<int>(shownSeconds));
        }
        Ui().RepaintWindows();
    });
    // The window goes as soon as the wait is over, before anything is told.
    const Outcome erased = CheckStatus(port, Checked::Erase, why, [&] {
        if (progress) progress->CloseProgress();
    });
    // The ID is flash content too: erased with the rest.
    if (erased == Outcome::Done && device != nullptr) device->Taken();
    return erased;
}

}  // namespace pelican
