#include "lifecycle/SignalStop.h"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <mutex>

#include "lifecycle/SignalNotes.h"
#include "lifecycle/win32/SessionWindow.h"

namespace pelican {
namespace {

// A console gives its programs control events, not signals. They are taken
// as the signals they stand for, so that a run ends with the same exit
// status on both systems: Ctrl-C as SIGINT (130), Ctrl-Break, the console's
// "stop now", as SIGTERM (143), and the console closing as SIGHUP (129):
// the terminal is gone. The end of the session counts as SIGHUP as well; it
// comes to the session window (a program that loads user32 is not sent the
// console's log-off and shutdown events).
constexpr int kInterrupt = SIGINT;
constexpr int kTerminate = SIGTERM;
constexpr int kHangUp = 1;

std::atomic<bool> g_installed{false};
// The hang-up noted was the session's end, not the console closing.
std::atomic<bool> g_sessionEnding{false};
// A hang-up was noted. The end of a session comes as several messages and
// events (WM_ENDSESSION, the console closing with it):
// the later ones are the same end, not someone asking again not to wait.
std::atomic<bool> g_hungUp{false};
std::mutex g_wakeMutex;
std::function<void()> g_wake;
// Set when the program has ended its run: a closing console is held that long.
HANDLE g_finished = nullptr;

void OnSignal(int signal) {
    if (signal != kHangUp || !g_hungUp.exchange(true)) NoteSignal(signal, true);
    WakeForEnding();
}

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnControl(DWORD event) {
    if (!g_installed.load()) return FALSE;
    switch (event) {
        case CTRL_C_EVENT: OnSignal(kInterrupt); return TRUE;
        case CTRL_BREAK_EVENT: OnSignal(kTerminate); return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The system ends the process as soon as this returns, and in
            // any case about 5 s after the event: the run gets that long to
            // bring the board back to 9600 bps. Unlike the session window's
            // question, these events come once the end is decided: nothing
            // is asked first, and the end is noted at once.
            if (event == CTRL_CLOSE_EVENT)
                OnSignal(kHangUp);
            else
                NoteSessionEnding();
            if (g_finished != nullptr) ::WaitForSingleObject(g_finished, CSessionWindow::kEndWaitMs);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

void NoteSessionEnding() {
    if (!g_hungUp.load()) g_sessionEnding = true;
    OnSignal(kHangUp);
}

bool SessionEnding() {
    return g_sessionEnding.load();
}

void SetEndingWake(std::function<void()> wake) {
    std::lock_guard lock(g_wakeMutex);
    g_wake = std::move(wake);
}

void WakeForEnding() {
    std::lock_guard lock(g_wakeMutex);
    if (g_wake) g_wake();
}

void CSignalStop::Install(int interruptsToEnd) {
    ResetSignalNotes(interruptsToEnd);
    g_sessionEnding = false;
    g_hungUp = false;
    if (g_finished == nullptr) g_finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_finished != nullptr) ::ResetEvent(g_finished);
    if (!g_installed.exchange(true)) ::SetConsoleCtrlHandler(OnControl, TRUE);
}

void CSignalStop::Uninstall() {
    if (!g_installed.exchange(false)) return;
    ::SetConsoleCtrlHandler(OnControl, FALSE);
    if (g_finished != nullptr) ::SetEvent(g_finished);
}

// No pipe: batch mode's waits are cut into short slices that look at the
// notes between them, and the window program is told by a posted message
// (SetEndingWake).
int CSignalStop::WakeFd() {
    return -1;
}

void CSignalStop::DrainWake() {}

const char* CSignalStop::Name(int signal) {
    switch (signal) {
        case kInterrupt: return "Ctrl-C";
        case kTerminate: return "Ctrl-Break";
        case kHangUp: return SessionEnding() ? "the session ending" : "the console closing";
        default: return "a console event";
    }
}

}  // namespace pelican
