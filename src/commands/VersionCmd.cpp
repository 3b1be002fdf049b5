#include "commands/VersionCmd.h"

#include <cstring>

#include "commands/VersionDlg.h"
#include "link/Exchange.h"

namespace pelican {

Outcome CVersionCmd::Run() {
    CSerialComm& port = Host().Port();
    SendFrame(port, protocol::VersionReadFrame());
    char reply[protocol::kVersionReplyLength + 1] = {};
    std::string text = "ERROR";
    const bool answered =
        port.Read(reinterpret_cast<uint8_t*>(reply), protocol::kVersionReplyLength) == ReadResult::Ok;
    if (answered) text.assign(reply, ::strnlen(reply, protocol::kVersionReplyLength));  // up to the first zero byte
    CVersionDlg dlg;
    dlg.SetVersion(text);
    dlg.DoModal(Ui());
    return answered ? Outcome::Done : Outcome::Failed;
}

}  // namespace pelican
