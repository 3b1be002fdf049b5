#include "batch/SignalStop.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace pelican {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

std::atomic<int> g_interrupts{0};
std::atomic<int> g_ending{0};
std::atomic<int> g_asked{0};     // SIGINT, SIGTERM and SIGHUP so far
std::atomic<int> g_endingAt{0};  // g_asked when the ending signal came
std::atomic<int> g_interruptsToEnd{2};
int g_wake[2] = {-1, -1};
struct sigaction g_previous[4];
bool g_installed = false;

void NoteEnding(int signal) {
    int none = 0;
    if (g_ending.compare_exchange_strong(none, signal)) g_endingAt.store(g_asked.load());
}

void OnSignal(int signal) {
    const int savedErrno = errno;
    if (signal != SIGPIPE) g_asked.fetch_add(1);
    if (signal != SIGINT || g_interrupts.fetch_add(1) + 1 >= g_interruptsToEnd.load()) NoteEnding(signal);
    if (g_wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(g_wake[1], &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

void CSignalStop::Install(int interruptsToEnd) {
    g_interrupts = 0;
    g_ending = 0;
    g_asked = 0;
    g_endingAt = 0;
    g_interruptsToEnd = interruptsToEnd < 1 ? 1 : interruptsToEnd;
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

int CSignalStop::Interrupts() {
    return g_interrupts.load();
}

int CSignalStop::EndingSignal() {
    return g_ending.load();
}

int CSignalStop::Again() {
    return g_ending.load() == 0 ? 0 : g_asked.load() - g_endingAt.load();
}

int CSignalStop::WakeFd() {
    return g_wake[0];
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
