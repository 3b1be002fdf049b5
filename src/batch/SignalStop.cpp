#include "batch/SignalStop.h"

#include <signal.h>

#include <atomic>

namespace pelican {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

std::atomic<int> g_interrupts{0};
std::atomic<int> g_ending{0};
struct sigaction g_previous[4];
bool g_installed = false;

void OnSignal(int signal) {
    if (signal == SIGINT) {
        g_interrupts.fetch_add(1);
        return;
    }
    int none = 0;
    g_ending.compare_exchange_strong(none, signal);
}

}  // namespace

void CSignalStop::Install() {
    g_interrupts = 0;
    g_ending = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait the signal interrupts returns, so that the
    // program gets to its next safe point at once.
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
    const int ending = g_ending.load();
    if (ending != 0) return ending;
    return g_interrupts.load() >= 2 ? SIGINT : 0;
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
