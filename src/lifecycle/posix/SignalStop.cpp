#include "lifecycle/SignalStop.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "lifecycle/SignalNotes.h"

namespace pelican {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

int g_wake[2] = {-1, -1};
struct sigaction g_previous[4];
bool g_installed = false;

void OnSignal(int signal) {
    const int savedErrno = errno;
    NoteSignal(signal, signal != SIGPIPE);
    if (g_wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(g_wake[1], &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

void CSignalStop::Install(int interruptsToEnd) {
    ResetSignalNotes(interruptsToEnd);
    if (g_wake[0] < 0 && ::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) g_wake[0] = g_wake[1] = -1;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait the signal interrupts returns, so that the
    // program gets to its next look at the signals at once.
    action.sa_flags = 0;
    for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
    g_installed = true;
}

void CSignalStop::Uninstall() {
    if (!g_installed) return;
    for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    g_installed = false;
}

int CSignalStop::WakeFd() {
    return g_wake[0];
}

void CSignalStop::DrainWake() {
    char bytes[16];
    while (g_wake[0] >= 0 && ::read(g_wake[0], bytes, sizeof bytes) > 0) {
    }
}

const char* CSignalStop::Name(int signal) {
    switch (signal) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        case SIGPIPE: return "SIGPIPE";
        default: return "a signal";
    }
}

}  // namespace pelican
