#pragma once
// The end of the Windows session (log-off, restart, shutdown, the restart
// of an update) as Windows tells it: WM_QUERYENDSESSION, then WM_ENDSESSION,
// sent to every top-level window. A console program that loads user32 (and
// every program with a window does) is no longer sent the console's log-off
// and shutdown events, and a window program left to the default handling is
// ended in the middle of a page, its board at the high rate. A hidden
// top-level window on a thread of its own takes the two messages for batch
// mode and the window program alike: the end is noted as the hang-up that
// ends the program (the exchange in flight finishes, the link returns to
// 9600 bps, the program ends), the program's main thread is woken, and the
// answer waits for the program to be done:
//   WM_QUERYENDSESSION up to kQueryWaitMs: a program still busy then
//     answers "not yet", and while a command runs Windows shows the reason
//     (ShutdownBlockReasonCreate) beside "Shut down anyway";
//   WM_ENDSESSION up to kEndWaitMs: Windows may end the process once it
//     has answered.
// The ending is not taken back when the session's end is cancelled.
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

namespace pelican {

class CSessionWindow {
public:
    CSessionWindow();
    ~CSessionWindow();
    CSessionWindow(const CSessionWindow&) = delete;
    CSessionWindow& operator=(const CSessionWindow&) = delete;

    // A command runs (any thread): the session's end shows the reason.
    void SetBusy(bool busy);
    bool Busy() const { return m_busy.load(); }
    // The hidden window (for a test that plays Windows).
    HWND Window() const { return m_hwnd; }

    static constexpr DWORD kQueryWaitMs = 4000;
    static constexpr DWORD kEndWaitMs = 30000;
    // How long each message waits (a test shortens them).
    std::atomic<DWORD> m_queryWaitMs{kQueryWaitMs};
    std::atomic<DWORD> m_endWaitMs{kEndWaitMs};
    // What Windows shows while a command runs.
    static const wchar_t* const kReason;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Run();
    void ShowReason(bool show);

    HANDLE m_ready = nullptr;
    HANDLE m_finished = nullptr;  // set when the program is done
    HWND m_hwnd = nullptr;
    std::atomic<bool> m_busy{false};
    bool m_reasonShown = false;  // on the window's thread
    std::thread m_thread;
};

// The session is ending (the messages above, or the console's log-off and
// shutdown events where a console still sends them): noted as the hang-up
// that ends the program, told as "the session ending", and the wake called.
void NoteSessionEnding();
// Whether the hang-up noted was the session's end (not the console closing).
bool SessionEnding();
// Called on the thread that noted an ending (the session window's, the
// console's): the program's main thread, waiting for messages, is told.
void SetEndingWake(std::function<void()> wake);
void WakeForEnding();

}  // namespace pelican
