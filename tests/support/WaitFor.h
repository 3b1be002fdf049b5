#pragma once
// Waiting for something another thread or process does: the condition is
// looked at again every millisecond until it holds. The limit only ends a
// wait for something that never comes (a fault), it times nothing, so it
// sits far beyond what the busiest machine needs.
#include <chrono>
#include <thread>

namespace pelican::test {

constexpr std::chrono::milliseconds kFaultLimit{30000};

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = kFaultLimit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace pelican::test
