// Start-up to 115200 bps and back over a real pseudo-terminal, real time:
// the termios path end to end.
#include <gtest/gtest.h>

#include <cstdlib>

#include "commands/StatesDlg.h"
#include "app/S_PrgDlg.h"
#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "link/posix/PosixSerialDevice.h"
#include "sim/BootLoader.h"
#include "sim/PtyBoard.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "ui/scripted/ScriptedBackend.h"

namespace pelican::test {
namespace {

TEST(PtyStartup, To115200AndBackTo9600) {
    CTempDir dir;
    CScopedEnv env;
    env.Set("XDG_CONFIG_HOME", dir.Path());
    env.Set("XDG_RUNTIME_DIR", dir.Path());
    dir.Write("pelican.INI", "[Last Comm State]\nBaundrate=115200\nByte=8\nStop Bit=0\nParity=0\n");

    sim::CBootLoader board;
    sim::CPtyBoard pty(board);
    std::string error;
    ASSERT_TRUE(pty.Start(&error)) << error;

    ui::CScriptedBackend ui;
    ui::SetBackend(&ui);
    CPelicanApp app(std::make_unique<CPosixSerialDevice>(), RealClock());
    ui.SetText(CS_PrgDlg::IDD, CS_PrgDlg::IDC_PORT, pty.Path());
    ui.Press(CS_PrgDlg::IDD, ui::IDOK);
    ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_STATUS);
    ui.Press(CStatesDlg::IDD, ui::IDOK);
    uint32_t rateAtWindow = 0;
    CSerialCommState portState;
    ui.m_onIdle = [&](ui::CDialog& dialog) {
        if (dialog.Template().id != 102) return;
        rateAtWindow = board.BaudRate();
        app.m_port.GetState(portState);
        ui.Press(CPelicanDlg::IDD, ui::IDCANCEL);
    };
    const uint64_t start = RealClock().NowMs();
    app.InitInstance();
    ui::SetBackend(nullptr);

    for (const auto& m : ui.m_messages) ADD_FAILURE() << m.text;
    EXPECT_EQ(rateAtWindow, 115200u);
    EXPECT_EQ(portState.m_baudRate, 115200u);
    EXPECT_EQ(app.m_linkReady, 1);
    EXPECT_EQ(ui.m_lastTexts[CStatesDlg::IDD][CStatesDlg::IDC_READY], "Ready");
    EXPECT_EQ(board.BaudRate(), 9600u);
    EXPECT_EQ(dir.Read("pelican.INI"), "[Last Comm State]\nBaundrate=115200\nByte=8\nStop Bit=0\nParity=0\n");
    // 50 + 16 x 20 + 50 ms of synchronisation, 1 s after it, 2 s for each of
    // the two baud-rate changes: the pauses really were taken.
    EXPECT_GE(RealClock().NowMs() - start, 5400u);
}

}  // namespace
}  // namespace pelican::test
