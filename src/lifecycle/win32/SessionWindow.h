#pragma once
// The end of the Windows session (log-off, restart, shutdown, the restart
// of an update) as Windows tells it: WM_QUERYENDSESSION, then WM_ENDSESSION,
// sent to every top-level window. A console program that loads user32 (and
// every program with a window does) is no longer sent the console's log-off
// and shutdown events, and a window program left to the default handling is
// ended in the middle of a page, its board at the high rate. A hidden
// top-level window on a thread of its own takes the two messages for batch
// mode and the window program alike:
//   WM_QUERYENDSESSION is only a question: the end may still be cancelled
//     (by another program, or by the user at the screen that lists the
//     programs in the way). It is answered at once, never by waiting:
//     "not yet" while a board is in work, with the reason Windows shows
//     beside "Shut down anyway" (ShutdownBlockReasonCreate); otherwise, and
//     to an end that cannot be refused, yes. Nothing is ended by it.
//   WM_ENDSESSION with the end confirmed: the end is noted as the hang-up
//     that ends the program (the exchange in flight finishes, the link
//     returns to 9600 bps, the program ends), the program's main thread is
//     woken, and the answer waits for the program to be done, up to
//     kEndWaitMs. With the end cancelled the run simply goes on.
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

    // A board is in work (any thread): the session's end is asked to wait,
    // with the reason shown.
    void SetBusy(bool busy);
    bool Busy() const { return m_busy.load(); }
    // The hidden window (for a test that plays Windows).
    HWND Window() const { return m_hwnd; }

    // Windows gives a program about 5 s to answer WM_ENDSESSION (the
    // hung-application time-out); past that it counts the program as
    // holding the end up and, for one without a visible window as batch
    // mode is, ends it where it stands. The answer comes half a second
    // earlier, so that the end stays orderly: the program is done by then,
    // or would have been cut off anyway. The console's log-off and
    // shutdown events are given the same time.
    static constexpr DWORD kEndWaitMs = 4500;
    // How long WM_ENDSESSION waits for the program (a test sets its own).
    std::atomic<DWORD> m_endWaitMs{kEndWaitMs};
    // What Windows shows while a board is in work.
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
