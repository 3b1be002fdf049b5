#include "commands/VersionCmd.h"

#include <cstring>

#include "app/PelicanApp.h"
#include "commands/VersionDlg.h"
#include "protocol/Protocol.h"

namespace pelican {

int CVersionCmd::Run() {
    CPelicanApp& app = CPelicanApp::Current();
    app.SendFrame(protocol::VersionReadFrame());
    char reply[protocol::kVersionReplyLength + 1] = {};
    std::string text = "ERROR";
    if (app.m_port.Receive(reinterpret_cast<uint8_t*>(reply), protocol::kVersionReplyLength) != 0)
        text.assign(reply, ::strnlen(reply, protocol::kVersionReplyLength));  // up to the first zero byte
    CVersionDlg dlg;
    dlg.SetVersion(text);
    dlg.DoModal();
    return 1;
}

}  // namespace pelican
