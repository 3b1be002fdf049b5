#pragma once
// A program of the build run as a child process of a test: its arguments,
// environment and working folder, where its standard streams go, the
// signals it is sent and how it ended. Everything the child needs is made
// before fork: tests run these side by side on threads, and a child of a
// process with threads may only make async-signal-safe calls until it
// executes the program. Every descriptor is opened close-on-exec, so that
// no other test's child keeps a pipe of this one open.
#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "support/WaitFor.h"

namespace pelican::test {

// This process's environment with the variables named changed (or added).
std::vector<std::string> EnvironmentWith(const std::map<std::string, std::string>& changes);

class CProcess {
public:
    // Where one of the child's standard streams goes.
    struct Stream {
        enum class Kind { Inherit, Null, Pipe, File, Closed };
        Kind kind = Kind::Null;
        std::string path;  // File: written from its start (made when missing)

        static Stream Inherit() { return {Kind::Inherit, {}}; }
        static Stream Null() { return {Kind::Null, {}}; }
        static Stream Pipe() { return {Kind::Pipe, {}}; }
        static Stream Closed() { return {Kind::Closed, {}}; }
        static Stream File(std::string path) { return {Kind::File, std::move(path)}; }
    };
    struct Options {
        std::vector<std::string> environment;  // the whole of it; empty: this process's
        std::string workingDir;                // empty: this process's
        Stream in = Stream::Null();
        Stream out = Stream::Null();
        Stream err = Stream::Null();
        uid_t user = 0;          // not 0: run as this user, and the group of that number
        rlim_t memoryLimit = 0;  // bytes of address space (0: no limit)
    };
    // How a wait ended when the program did not exit.
    static constexpr int kSignalled = -1;   // a signal ended it
    static constexpr int kNeverEnded = -2;  // still running at the limit: killed
    // A wait for however long the program takes (ctest's time-out ends a hang).
    static constexpr std::chrono::milliseconds kNoLimit = std::chrono::milliseconds::max();

    // args[0] is the program's path.
    CProcess(const std::vector<std::string>& args, const Options& options);
    ~CProcess();  // a child still running is killed
    CProcess(CProcess&& other) noexcept;
    CProcess& operator=(CProcess&&) = delete;
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    // This side of the pipes (-1 when there is none, or no longer).
    int In() const { return m_pipes[0]; }
    int Out() const { return m_pipes[1]; }
    int Err() const { return m_pipes[2]; }
    void CloseIn() { Close(0); }
    void CloseOut() { Close(1); }
    void Signal(int signal) const;

    // The exit status, kSignalled, or kNeverEnded when it was still running
    // at the limit (then it is killed). Once ended, the same again.
    int Wait(std::chrono::milliseconds limit = kFaultLimit);
    // Standard output (error) read to its end, or to the first end of line
    // (not kept); the limit only ends the wait on a child that hangs.
    std::string ReadOut(bool oneLine = false, std::chrono::milliseconds limit = kFaultLimit) {
        return Read(Out(), oneLine, limit);
    }
    std::string ReadErr(bool oneLine = false, std::chrono::milliseconds limit = kFaultLimit) {
        return Read(Err(), oneLine, limit);
    }

private:
    static std::string Read(int fd, bool oneLine, std::chrono::milliseconds limit);
    void Close(int stream);

    pid_t m_pid = -1;
    int m_pipes[3] = {-1, -1, -1};  // standard input, output, error
    int m_status = kNeverEnded;
    bool m_ended = false;
};

}  // namespace pelican::test
