// The end of the Windows session as the window program and batch mode take
// it: the messages Windows sends, played to the session window; the
// application on the simulated board and the virtual clock, its windows
// scripted. The end is taken as SIGTERM is on Linux: never in the middle of
// an exchange, and only with the link back at 9600 bps.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

// What Windows sends, from the calling thread: synchronously, as the
// system's own SendMessage does; 0xBAD when no answer came.
LRESULT Send(const CSessionWindow& session, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0xBAD;
    ::SendMessageTimeoutW(session.Window(), message, wParam, lParam, SMTO_BLOCK, 30000, &result);
    return static_cast<LRESULT>(result);
}

// What Windows sends to the session window, in order.
enum class Step {
    Ask,      // WM_QUERYENDSESSION
    Force,    // WM_QUERYENDSESSION of an end that cannot be refused ("Shut down anyway")
    End,      // WM_ENDSESSION, the end confirmed ("Shut down anyway" where asked to wait)
    Cancel,   // WM_ENDSESSION, the end cancelled
};

// Start-up at 115200 bps on a board whose ID check has passed, the window
// program's endings attached as main attaches them; the main window plays
// the steps at once (nothing in work) or while the board erases. The exit
// status, or -1 for an Exit.
struct SessionRun {
    CScopedEnv env;
    CTempDir dir;
    CSimBench sim;
    ui::CScriptedBackend ui;
    std::string err;
    std::atomic<int> wakes{0};
    HANDLE noted = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<bool> running;
    std::vector<LRESULT> answers;  // to the steps sent from the program's thread
    // The program being done and the confirmed end's answer, as they come.
    std::mutex orderMutex;
    std::vector<std::string> order;
    std::thread ender;

    ~SessionRun() { ::CloseHandle(noted); }

    void Happened(const std::string& what) {
        const std::lock_guard lock(orderMutex);
        order.push_back(what);
    }

    // Ask and Cancel are answered to the program's own thread (which is
    // busy until then); End is sent from a thread of its own, as its answer
    // waits for the program, and the program goes on once it is noted.
    void Play(CSessionWindow& session, const std::vector<Step>& steps) {
        for (const Step step : steps) {
            if (step == Step::Ask) answers.push_back(Send(session, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
            if (step == Step::Force) answers.push_back(Send(session, WM_QUERYENDSESSION, 0, ENDSESSION_CRITICAL));
            if (step == Step::Cancel) answers.push_back(Send(session, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF));
            if (step != Step::End) continue;
            ender = std::thread([this, &session] {
                const LRESULT answer = Send(session, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
                Happened("answered " + std::to_string(answer));
            });
            ASSERT_EQ(::WaitForSingleObject(noted, 30000), WAIT_OBJECT_0);
        }
    }

    int Run(bool duringErase, const std::vector<Step>& steps) {
        env.Set("APPDATA", dir.Path());
        env.Set("XDG_RUNTIME_DIR", dir.Path());
        dir.Write("pelican.INI", "[Last Comm State]\nBaundrate=115200\nByte=8\nStop Bit=0\nParity=0\n");
        sim.PassId();
        CWindowSignals endings(sim.Clock());
        CPelicanApp app(endings.Wrap(sim.MakeDevice("COM1")), endings.Clock());
        endings.Attach(app, [this](const std::string& line) { err += line + "\n"; });
        endings.Ending().m_exit = [this](int status) {
            Happened("program done");
            throw Ended{status};
        };
        CSessionWindow session;
        // The confirmed end's answer waits for the program however long it
        // takes: the order shows it, not a clock.
        session.m_endWaitMs = INFINITE;
        app.m_onCommandRunning = [&](bool on) {
            running.push_back(on);
            session.SetBusy(on);
        };
        SetEndingWake([this] {
            ++wakes;
            ::SetEvent(noted);
        });
        bool played = false;
        sim.Board().SetFrameObserver([&](const sim::SimFrame& frame) {
            if (!duringErase || played || frame.bytes[0] != 0xA7) return;
            played = true;
            Play(session, steps);
        });
        bool shown = false;
        ui.m_onIdle = [&](ui::CDialog& dialog) {
            const int id = dialog.Template().id;
            if (id == CIDCheckDlg::IDD) ui.Press(id, ui::IDCANCEL);
            if (id != CPelicanDlg::IDD) return;
            if (!shown) {
                shown = true;
                if (duringErase) {
                    ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_ERASE).Press(CPreEraseDlg::IDD, ui::IDOK);
                    return;
                }
                Play(session, steps);
                // The main thread's message loop acts on the wake.
                if (wakes.load() > 0) endings.OnWake();
            }
            if (ui.ScriptDone()) ui.Press(id, ui::IDCANCEL);
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

constexpr const char* kReturned = "the session ending: returning the link to 9600 bps\nlink at 9600 bps; port closed\n";

// Windows asks first and ends only when the end is confirmed: the question
// is answered at once (to the program's own thread, while it is still at
// work), "not yet" only while a board is in work, and ends nothing; the
// confirmed end is noted and its answer waits until the program is done;
// a cancelled end leaves the run going.
TEST(SessionWindow, TheSessionEndsOnlyWhenWindowsConfirmsIt) {
    const struct {
        const char* name;
        bool duringErase;
        std::vector<Step> steps;
        std::vector<LRESULT> answers;
        int status;
        std::string err;
        std::vector<std::string> order;
        std::vector<std::string> messages;
    } cases[] = {
        {"nothing in work, the end confirmed", false, {Step::Ask, Step::End}, {TRUE}, 129, kReturned,
         {"program done", "answered 0"}, {}},
        {"nothing in work, the end cancelled", false, {Step::Ask, Step::Cancel}, {TRUE, 0}, -1, "", {}, {}},
        // The user chose "Shut down anyway": the erase in flight finishes first.
        {"an erase in work, the end confirmed", true, {Step::Ask, Step::End}, {FALSE}, 129,
         std::string("the session ending: waiting for the erase to finish, up to 40 s; Ctrl-C again to leave the "
                     "board as it is\n") +
             kReturned,
         {"program done", "answered 0"}, {}},
        // Asked again as an end that cannot be refused: the erase finishes
        // in the time Windows gives.
        {"an erase in work, the end forced", true, {Step::Ask, Step::Force, Step::End}, {FALSE, TRUE}, 129,
         std::string("the session ending: waiting for the erase to finish, up to 40 s; Ctrl-C again to leave the "
                     "board as it is\n") +
             kReturned,
         {"program done", "answered 0"}, {}},
        {"an erase in work, the end cancelled", true, {Step::Ask, Step::Cancel}, {FALSE, 0}, -1, "", {},
         {"Erase OK."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SessionRun run;
        EXPECT_EQ(run.Run(c.duringErase, c.steps), c.status);
        if (run.ender.joinable()) run.ender.join();
        EXPECT_EQ(run.answers, c.answers);
        EXPECT_EQ(run.order, c.order);
        EXPECT_EQ(run.wakes.load(), c.status == 129 ? 1 : 0);
        EXPECT_EQ(run.err, c.err);
        std::vector<std::string> messages;
        for (const auto& message : run.ui.m_messages) messages.push_back(message.text);
        EXPECT_EQ(messages, c.messages);
        // The erase ran as a command: the question was answered "not yet".
        EXPECT_EQ(run.running, (c.duringErase ? std::vector<bool>{true, false} : std::vector<bool>{}));
        EXPECT_EQ(run.sim.Board().BaudRate(), 9600u);
    }
}

}  // namespace
}  // namespace pelican::test
