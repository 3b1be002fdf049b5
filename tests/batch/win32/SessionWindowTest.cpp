// The end of the Windows session as the window program and batch mode take
// it: the messages Windows sends, played to the session window; the
// application on the simulated board and the virtual clock, its windows
// scripted. The end is taken as SIGTERM is on Linux: never in the middle of
// an exchange, and only with the link back at 9600 bps.
#include <gtest/gtest.h>

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
// Last: windows.h renames MessageBox and the like by macro, which must not
// reach the declarations of the back ends above.
#include "lifecycle/win32/SessionWindow.h"

// windows.h (through the session window's header) names the dialog
// results as macros, with the values the layer gives them.
#undef IDOK
#undef IDCANCEL

namespace pelican::test {
namespace {

struct Ended {
    int status;
};

// What Windows sends: synchronously, as the system's own SendMessage does.
LRESULT Send(const CSessionWindow& session, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0xBAD;
    ::SendMessageTimeoutW(session.Window(), message, wParam, lParam, SMTO_BLOCK, 10000, &result);
    return static_cast<LRESULT>(result);
}

// Start-up at 115200 bps on a board whose ID check has passed, the window
// program's endings attached as main attaches them; the main window runs
// atMainWindow once, then Exit. The exit status, or -1 for an Exit.
struct SessionRun {
    CScopedEnv env;
    CTempDir dir;
    CSimBench sim;
    ui::CScriptedBackend ui;
    std::string err;
    int wakes = 0;
    std::vector<bool> running;

    int Run(const std::function<void(CWindowSignals&, CSessionWindow&)>& atMainWindow) {
        env.Set("APPDATA", dir.Path());
        env.Set("XDG_RUNTIME_DIR", dir.Path());
        dir.Write("pelican.INI", "[Last Comm State]\nBaundrate=115200\nByte=8\nStop Bit=0\nParity=0\n");
        sim.PassId();
        CWindowSignals endings(sim.Clock());
        CPelicanApp app(endings.Wrap(sim.MakeDevice("COM1")), endings.Clock());
        endings.Attach(app, [this](const std::string& line) { err += line + "\n"; });
        endings.Ending().m_exit = [](int status) { throw Ended{status}; };
        CSessionWindow session;
        // The messages answer at once; whether they wait is not at stake.
        session.m_queryWaitMs = 0;
        session.m_endWaitMs = 0;
        app.m_onCommandRunning = [&](bool on) {
            running.push_back(on);
            session.SetBusy(on);
        };
        SetEndingWake([this] { ++wakes; });
        bool shown = false;
        ui.m_onIdle = [&](ui::CDialog& dialog) {
            const int id = dialog.Template().id;
            if (id == CIDCheckDlg::IDD) ui.Press(id, ui::IDCANCEL);
            if (id != CPelicanDlg::IDD) return;
            if (!shown) {
                shown = true;
                atMainWindow(endings, session);
                if (!ui.ScriptDone()) return;
            }
            ui.Press(id, ui::IDCANCEL);
        };
        ui.SetCheck(CS_PrgDlg::IDD, CS_PrgDlg::IDC_FLASH).SetText(CS_PrgDlg::IDD, CS_PrgDlg::IDC_PORT, "COM1");
        ui.Press(CS_PrgDlg::IDD, ui::IDOK);
        app.SetUi(&ui);
        int status = -1;
        try {
            app.InitInstance();
        } catch (const Ended& ended) {
            status = ended.status;
        }
        app.SetUi(nullptr);
        SetEndingWake(nullptr);
        return status;
    }
};

TEST(SessionWindow, TheSessionEndingWhileTheWindowWaitsEndsItAt9600) {
    SessionRun run;
    LRESULT answer = 0;
    EXPECT_EQ(run.Run([&](CWindowSignals& endings, CSessionWindow& session) {
        answer = Send(session, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
        EXPECT_EQ(run.wakes, 1);  // the main thread is told
        endings.OnWake();         // ... and its message loop calls this
    }),
              129);
    EXPECT_EQ(answer, TRUE);  // no command ran: nothing to show Windows
    EXPECT_EQ(run.err, "the session ending: returning the link to 9600 bps\nlink at 9600 bps; port closed\n");
    EXPECT_EQ(run.sim.Board().BaudRate(), 9600u);
}

TEST(SessionWindow, TheSessionEndingDuringAnEraseWaitsForItsEnd) {
    SessionRun run;
    // Windows' WM_ENDSESSION comes while the board erases; then the
    // question, which a running command answers "not yet".
    LRESULT answer = 0;
    CSessionWindow* shown = nullptr;
    run.sim.Board().SetFrameObserver([&](const sim::SimFrame& frame) {
        if (frame.bytes[0] != 0xA7 || shown == nullptr) return;
        Send(*shown, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        answer = Send(*shown, WM_QUERYENDSESSION, 0, 0);
    });
    EXPECT_EQ(run.Run([&](CWindowSignals&, CSessionWindow& session) {
        shown = &session;
        run.ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_ERASE).Press(CPreEraseDlg::IDD, ui::IDOK);
    }),
              129);
    EXPECT_EQ(answer, FALSE);
    ASSERT_FALSE(run.running.empty());
    EXPECT_TRUE(run.running.front());  // the erase ran as a command: Windows was told why
    EXPECT_EQ(run.err,
              "the session ending: waiting for the erase to finish, up to 40 s; Ctrl-C again to leave the board as "
              "it is\n"
              "the session ending: returning the link to 9600 bps\nlink at 9600 bps; port closed\n");
    EXPECT_TRUE(run.ui.m_messages.empty());  // no "Erase OK." over an ending program
    EXPECT_EQ(run.sim.Board().BaudRate(), 9600u);
}

TEST(SessionWindow, ACancelledEndOfSessionIsNoEnding) {
    SessionRun run;
    EXPECT_EQ(run.Run([&](CWindowSignals&, CSessionWindow& session) {
        EXPECT_EQ(Send(session, WM_ENDSESSION, FALSE, 0), 0);
        EXPECT_EQ(run.wakes, 0);
    }),
              -1);
    EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace pelican::test
