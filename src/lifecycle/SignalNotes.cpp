#include "lifecycle/SignalNotes.h"

#include <atomic>
#include <csignal>

#include "lifecycle/SignalStop.h"

namespace pelican {
namespace {

std::atomic<int> g_interrupts{0};
std::atomic<int> g_ending{0};
std::atomic<int> g_asked{0};     // SIGINT, SIGTERM and SIGHUP so far
std::atomic<int> g_endingAt{0};  // g_asked when the ending signal came
std::atomic<int> g_interruptsToEnd{2};

}  // namespace

void ResetSignalNotes(int interruptsToEnd) {
    g_interrupts = 0;
    g_ending = 0;
    g_asked = 0;
    g_endingAt = 0;
    g_interruptsToEnd = interruptsToEnd < 1 ? 1 : interruptsToEnd;
}

void NoteSignal(int signal, bool asked) {
    if (asked) g_asked.fetch_add(1);
    if (signal != SIGINT || g_interrupts.fetch_add(1) + 1 >= g_interruptsToEnd.load()) {
        int none = 0;
        if (g_ending.compare_exchange_strong(none, signal)) g_endingAt.store(g_asked.load());
    }
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

}  // namespace pelican
