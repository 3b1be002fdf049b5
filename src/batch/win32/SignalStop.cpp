#include "batch/SignalStop.h"

#include <windows.h>

#include <atomic>
#include <csignal>

#include "batch/SignalNotes.h"

namespace pelican {
namespace {

// A console gives its programs control events, not signals. They are taken
// as the signals they stand for, so that a run ends with the same exit
// status on both systems: Ctrl-C as SIGINT (130), Ctrl-Break, the console's
// "stop now", as SIGTERM (143), and the console closing, the user logging
// off or the system shutting down as SIGHUP (129): the terminal is gone.
constexpr int kInterrupt = SIGINT;
constexpr int kTerminate = SIGTERM;
constexpr int kHangUp = 1;

std::atomic<bool> g_installed{false};
// Set when the program has ended its run: a closing console is held that long.
HANDLE g_finished = nullptr;

void OnSignal(int signal) {
    NoteSignal(signal, true);
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
            // any case about 5 s after the console closed: the run gets that
            // long to bring the board back to 9600 bps.
            OnSignal(kHangUp);
            if (g_finished != nullptr) ::WaitForSingleObject(g_finished, 4500);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

void CSignalStop::Install(int interruptsToEnd) {
    ResetSignalNotes(interruptsToEnd);
    if (g_finished == nullptr) g_finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_finished != nullptr) ::ResetEvent(g_finished);
    if (!g_installed.exchange(true)) ::SetConsoleCtrlHandler(OnControl, TRUE);
}

void CSignalStop::Uninstall() {
    if (!g_installed.exchange(false)) return;
    ::SetConsoleCtrlHandler(OnControl, FALSE);
    if (g_finished != nullptr) ::SetEvent(g_finished);
}

// The console's events reach no event loop: the waits of the run are cut
// into short slices and look at the flags between them.
int CSignalStop::WakeFd() {
    return -1;
}

const char* CSignalStop::Name(int signal) {
    switch (signal) {
        case kInterrupt: return "Ctrl-C";
        case kTerminate: return "Ctrl-Break";
        case kHangUp: return "the console closing";
        default: return "a console event";
    }
}

}  // namespace pelican
