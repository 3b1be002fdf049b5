#pragma once
// What a test changes in its process's environment, given back when it ends
// however it ends (a failed assertion returns early): variables, the file
// creation mask, a signal's disposition. The next test in the same program
// starts from what the program was started with.
#include <map>
#include <optional>
#include <string>

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#endif

namespace pelican::test {

class CScopedEnv {
public:
    CScopedEnv() = default;
    ~CScopedEnv();
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

    void Set(const char* name, const std::string& value);
    void Unset(const char* name);

private:
    void Keep(const char* name);
    std::map<std::string, std::optional<std::string>> m_kept;  // the values before the first change
};

#ifndef _WIN32
class CScopedUmask {
public:
    explicit CScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~CScopedUmask() { ::umask(m_old); }
    CScopedUmask(const CScopedUmask&) = delete;
    CScopedUmask& operator=(const CScopedUmask&) = delete;
    mode_t Old() const { return m_old; }

private:
    mode_t m_old;
};

class CScopedSignal {
public:
    CScopedSignal(int signal, const struct sigaction& action) : m_signal(signal) {
        m_installed = ::sigaction(signal, &action, &m_old) == 0;
    }
    ~CScopedSignal() {
        if (m_installed) ::sigaction(m_signal, &m_old, nullptr);
    }
    CScopedSignal(const CScopedSignal&) = delete;
    CScopedSignal& operator=(const CScopedSignal&) = delete;
    bool Installed() const { return m_installed; }

private:
    int m_signal;
    struct sigaction m_old {};
    bool m_installed = false;
};
#endif

}  // namespace pelican::test
