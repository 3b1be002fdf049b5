#include "batch/SignalStop.h"

#include <windows.h>

#include <atomic>
#include <csignal>

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

std::atomic<int> g_interrupts{0};
std::atomic<int> g_ending{0};
std::atomic<int> g_asked{0};
std::atomic<int> g_endingAt{0};
std::atomic<int> g_interruptsToEnd{2};
std::atomic<bool> g_installed{false};
// Set when the program has ended its run: a closing console is held that long.
HANDLE g_finished = nullptr;

void NoteEnding(int signal) {
    int none = 0;
    if (g_ending.compare_exchange_strong(none, signal)) g_endingAt.store(g_asked.load());
}

void OnSignal(int signal) {
    g_asked.fetch_add(1);
    if (signal != kInterrupt || g_interrupts.fetch_add(1) + 1 >= g_interruptsToEnd.load()) NoteEnding(signal);
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
    g_interrupts = 0;
    g_ending = 0;
    g_asked = 0;
    g_endingAt = 0;
    g_interruptsToEnd = interruptsToEnd < 1 ? 1 : interruptsToEnd;
    if (g_finished == nullptr) g_finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_finished != nullptr) ::ResetEvent(g_finished);
    if (!g_installed.exchange(true)) ::SetConsoleCtrlHandler(OnControl, TRUE);
}

void CSignalStop::Uninstall() {
    if (!g_installed.exchange(false)) return;
    ::SetConsoleCtrlHandler(OnControl, FALSE);
    if (g_finished != nullptr) ::SetEvent(g_finished);
}

int CSignalStop::Interrupts() {
    return g_interrupts.load();
}

int CSignalStop::EndingSignal() {
    return g_ending.load();
}

int CSignalStop::Again() {
    return g_ending.load() == 0 ? 0 : g_asked.load() - g_endingAt.load();
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
