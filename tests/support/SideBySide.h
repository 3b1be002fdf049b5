#pragma once
// Runs of the executables wait out the protocol's pauses in real time (a
// second for each step of a baud-rate change) and use almost no CPU: they
// run side by side, each on a thread of its own, so that a test takes as
// long as its longest run rather than the sum of them. Each run has its own
// board, port and settings folder, and opens every descriptor close-on-exec,
// so that no other run's child keeps a pipe or a terminal of it open.
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/Process.h"

namespace pelican::test {

inline void SideBySide(const std::vector<std::function<void()>>& runs) {
    std::vector<std::thread> threads;
    threads.reserve(runs.size());
    for (const auto& run : runs) threads.emplace_back(run);
    for (auto& thread : threads) thread.join();
}

// This process's environment with the settings and the lock in dir.
inline std::vector<std::string> ProgramEnvironment(const std::string& dir) {
    return EnvironmentWith({{"XDG_CONFIG_HOME", dir}, {"XDG_RUNTIME_DIR", dir}});
}

// The same as execve takes it, made before fork: a child of a process with
// several threads may only call async-signal-safe functions until it
// executes the program.
class CChildEnvironment {
public:
    explicit CChildEnvironment(const std::string& dir) : m_entries(ProgramEnvironment(dir)) {
        for (auto& entry : m_entries) m_pointers.push_back(entry.data());
        m_pointers.push_back(nullptr);
    }
    char* const* Get() const { return m_pointers.data(); }

private:
    std::vector<std::string> m_entries;
    std::vector<char*> m_pointers;
};

}  // namespace pelican::test
