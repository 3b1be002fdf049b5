#pragma once
// The programs themselves as child processes, for the few end-to-end runs
// over pseudo-terminals in real time: pelican with its settings and lock
// folders in a test's temporary folder, and pelican-sim in the background.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/SideBySide.h"
#include "support/TempDir.h"

namespace pelican::test {

struct ProgramResult {
    int status = -1;  // the exit status; -1 when it did not exit
    std::string out;
    std::string err;
};

// A program started with the settings and lock folders in dir, no standard
// input, and its standard output and error in dir's files tag.out, tag.err.
class CChildProgram {
public:
    CChildProgram(const std::vector<std::string>& args, const CTempDir& dir, const std::string& tag)
        : m_dir(dir), m_tag(tag) {
        // Everything the child needs is made before fork: tests run these
        // side by side on threads, and a child of a process with threads may
        // only make async-signal-safe calls until it executes the program.
        const CChildEnvironment environment(dir.Path());
        std::vector<char*> argv;
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        const int out = ::open(dir.File(tag + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int err = ::open(dir.File(tag + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(null, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::execve(argv[0], argv.data(), environment.Get());
            ::_exit(127);
        }
        for (int fd : {null, out, err})
            if (fd >= 0) ::close(fd);
    }
    ~CChildProgram() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    CChildProgram(const CChildProgram&) = delete;
    CChildProgram& operator=(const CChildProgram&) = delete;

    // What it wrote on standard error so far.
    std::string ErrSoFar() const { return m_dir.Read(m_tag + ".err"); }

    // Waits for the end; the status and everything it wrote.
    ProgramResult Finish() {
        ProgramResult result;
        int status = 0;
        if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid)
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_pid = -1;
        result.out = m_dir.Read(m_tag + ".out");
        result.err = m_dir.Read(m_tag + ".err");
        return result;
    }

private:
    const CTempDir& m_dir;
    std::string m_tag;
    pid_t m_pid = -1;
};

inline ProgramResult RunProgram(const std::vector<std::string>& args, const CTempDir& dir,
                                const std::string& tag = "run") {
    return CChildProgram(args, dir, tag).Finish();
}

// pelican-sim in the background; the path it prints is the port. Its
// standard error goes to errPath when given (with --verbose: every frame
// the board took).
class CSimProcess {
public:
    CSimProcess(const std::string& executable, const std::vector<std::string>& options,
                const std::string& errPath = "") {
        std::vector<std::string> args = {executable};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        const int err = errPath.empty() ? null
                                        : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(null, 0);
            ::dup2(pipeFds[1], 1);
            ::dup2(err, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        if (null >= 0) ::close(null);
        if (err >= 0 && err != null) ::close(err);
        char c;
        while (::read(pipeFds[0], &c, 1) == 1 && c != '\n') m_path += c;
        ::close(pipeFds[0]);
    }
    ~CSimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::kill(m_pid, SIGCONT);  // a board still held takes its SIGTERM
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;
    const std::string& Path() const { return m_path; }
    // The board held still (SIGSTOP) and let go again: while held it takes
    // nothing in and answers nothing, however long the test needs.
    void Hold() const { ::kill(m_pid, SIGSTOP); }
    void LetGo() const { ::kill(m_pid, SIGCONT); }

private:
    pid_t m_pid = -1;
    std::string m_path;
};

}  // namespace pelican::test
