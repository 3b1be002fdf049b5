// The window program's signals, without a display: the application on the
// simulated board and the virtual clock, its windows scripted, its signals
// taken as main takes them. A signal ends the program only with the link
// back at 9600 bps, and never in the middle of an exchange.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>

#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "lifecycle/WindowSignals.h"
#include "commands/PreEraseDlg.h"
#include "commands/IDCheckDlg.h"
#include "support/SimBench.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "ui/scripted/ScriptedBackend.h"

namespace pelican::test {
namespace {

struct Ended {
    int status;
};

// Start-up at 115200 bps on a board whose ID check has passed; the main
// window runs atMainWindow once, then Exit. The exit status, or -1 when the
// program ended by Exit.
struct WindowRun {
    CScopedEnv env;
    CTempDir dir;
    CSimBench sim;
    ui::CScriptedBackend ui;
    std::string err;

    // atSelect, when given, runs while "Select Program" waits for its answer.
    int Run(const std::function<void(CWindowSignals&)>& atMainWindow,
            const std::function<void(CWindowSignals&)>& atSelect = nullptr) {
        env.Set("XDG_CONFIG_HOME", dir.Path());
        env.Set("XDG_RUNTIME_DIR", dir.Path());
        dir.Write("pelican.INI", "[Last Comm State]\nBaundrate=115200\nByte=8\nStop Bit=0\nParity=0\n");
        sim.PassId();
        CWindowSignals endings(sim.Clock());
        CPelicanApp app(endings.Wrap(sim.MakeDevice("COM1")), endings.Clock());
        endings.Attach(app, [this](const std::string& line) { err += line + "\n"; });
        endings.Ending().m_exit = [](int status) { throw Ended{status}; };
        bool shown = false;
        ui.m_onIdle = [&](ui::CDialog& dialog) {
            const int id = dialog.Template().id;
            if (id == CS_PrgDlg::IDD && atSelect) {
                atSelect(endings);
                ui.Press(id, ui::IDCANCEL);
            }
            if (id == CIDCheckDlg::IDD) ui.Press(id, ui::IDCANCEL);
            if (id != CPelicanDlg::IDD) return;
            if (!shown) {
                shown = true;
                atMainWindow(endings);
                if (!ui.ScriptDone()) return;
            }
            ui.Press(id, ui::IDCANCEL);
        };
        if (!atSelect) {
            ui.SetCheck(CS_PrgDlg::IDD, CS_PrgDlg::IDC_FLASH).SetText(CS_PrgDlg::IDD, CS_PrgDlg::IDC_PORT, "COM1");
            ui.Press(CS_PrgDlg::IDD, ui::IDOK);
        }
        app.SetUi(&ui);
        int status = -1;
        try {
            app.InitInstance();
        } catch (const Ended& ended) {
            status = ended.status;
        }
        app.SetUi(nullptr);
        return status;
    }
};

TEST(WindowSignals, ASignalEndsTheWindowProgramAt9600OutsideAnExchange) {
    {
        SCOPED_TRACE("SIGTERM while the main window waits for a click");
        WindowRun run;
        EXPECT_EQ(run.Run([](CWindowSignals& endings) {
            ::raise(SIGTERM);
            endings.OnWake();  // the event loop saw the pipe
        }),
                  128 + SIGTERM);
        EXPECT_EQ(run.err, "SIGTERM: returning the link to 9600 bps\nlink at 9600 bps; port closed\n");
        EXPECT_EQ(run.sim.Board().BaudRate(), 9600u);
    }
    {
        SCOPED_TRACE("SIGTERM while Select Program asks for the port: no link to speak of");
        WindowRun run;
        EXPECT_EQ(run.Run([](CWindowSignals&) {},
                          [](CWindowSignals& endings) {
                              ::raise(SIGTERM);
                              endings.OnWake();
                          }),
                  128 + SIGTERM);
        EXPECT_EQ(run.err, "SIGTERM: ending; no port is open\n");
        EXPECT_TRUE(run.sim.Received().empty());
    }
    {
        SCOPED_TRACE("Ctrl-C during an erase: it ends when the erase has");
        WindowRun run;
        run.sim.RaiseAt(0xA7, 1, SIGINT);
        EXPECT_EQ(run.Run([&run](CWindowSignals&) {
            run.ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_ERASE).Press(CPreEraseDlg::IDD, ui::IDOK);
        }),
                  128 + SIGINT);
        EXPECT_EQ(run.err,
                  "SIGINT: waiting for the erase to finish, up to 40 s; Ctrl-C again to leave the board as it is\n"
                  "SIGINT: returning the link to 9600 bps\nlink at 9600 bps; port closed\n");
        EXPECT_TRUE(run.ui.m_messages.empty());  // no "Erase OK." over an ending program
        EXPECT_EQ(run.sim.Board().BaudRate(), 9600u);
    }
    {
        SCOPED_TRACE("SIGTERM as the board takes 115200 bps: the change ends before the way back");
        WindowRun run;
        bool raised = false;  // once: the way back sends B4 again
        run.sim.Board().SetFrameObserver([&raised](const sim::SimFrame& frame) {
            if (frame.bytes == Bytes{0xB4} && !raised) raised = ::raise(SIGTERM) == 0;
        });
        EXPECT_EQ(run.Run([](CWindowSignals&) {}), 128 + SIGTERM);
        EXPECT_EQ(run.err,
                  "SIGTERM: waiting for the board's answer, up to 5 s; Ctrl-C again to leave the board as it is\n"
                  "SIGTERM: returning the link to 9600 bps\nlink at 9600 bps; port closed\n");
        // After the synchronisation (B0 and sixteen 00): the codes of 9600
        // and 115200 at 9600 bps, 115200's at 115200 bps, the start-up's
        // status read, then the way back: 115200's code, 9600's, and 9600's
        // again at 9600 bps.
        EXPECT_EQ(run.sim.Board().BaudRate(), 9600u);
        const Bytes wire = run.sim.Received();
        ASSERT_EQ(wire.size(), 24u);
        EXPECT_EQ(Bytes(wire.begin() + 17, wire.end()), (Bytes{0xB0, 0xB4, 0xB4, 0x70, 0xB4, 0xB0, 0xB0}));
    }
}

}  // namespace
}  // namespace pelican::test
