#include "support/PtyProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "support/SideBySide.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

// Longer than any wait of the runs these programs make (a page's 5-second
// time-out, a baud-rate change's steps, a recovery): the limit only ends a
// wait for what never comes.
constexpr std::chrono::seconds kLimit{120};

}  // namespace

CPtyProcess::CPtyProcess(const std::vector<std::string>& args, const std::string& dir, Error error) {
    // Everything the child needs is made before fork: tests run these side
    // by side on threads, and the child may only make async-signal-safe
    // calls until it executes the program.
    const CChildEnvironment environment(dir);
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0)
        return;
    // Held open here until the child has its own, so that the master never
    // reads as hung up before the program started.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (slave < 0 || ::tcgetattr(slave, &settings) != 0) return;
    // The program's own bytes, without the line discipline's CR before each
    // LF; input keeps its line editing, echo, Ctrl-C and Ctrl-D.
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    ::tcsetattr(slave, TCSANOW, &settings);
    int errPipe[2] = {-1, -1};
    if (error == Error::ToPipe && ::pipe2(errPipe, O_CLOEXEC) != 0) return;
    int started[2];  // closed by the child's exec: it holds the terminal then
    if (::pipe2(started, O_CLOEXEC) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::setsid();
        const int terminal = ::open(name, O_RDWR);
        ::ioctl(terminal, TIOCSCTTY, 0);
        ::dup2(terminal, 0);
        ::dup2(terminal, 1);
        ::dup2(error == Error::ToPipe ? errPipe[1] : terminal, 2);
        ::execve(argv[0], argv.data(), environment.Get());
        ::_exit(127);
    }
    ::close(started[1]);
    char ignored;
    while (m_pid > 0 && ::read(started[0], &ignored, 1) > 0) {
    }
    ::close(started[0]);
    ::close(slave);
    if (errPipe[1] >= 0) ::close(errPipe[1]);
    m_pipe = errPipe[0];
    m_reader = std::thread([this] { Collect(); });
}

CPtyProcess::~CPtyProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_reader.joinable()) m_reader.join();
    for (int fd : {m_master, m_pipe})
        if (fd >= 0) ::close(fd);
}

void CPtyProcess::Collect() {
    // The master reads EIO once nobody holds the terminal any more.
    bool terminalOpen = true;
    bool pipeOpen = m_pipe >= 0;
    while (terminalOpen || pipeOpen) {
        pollfd fds[2] = {{terminalOpen ? m_master : -1, POLLIN, 0}, {pipeOpen ? m_pipe : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents == 0) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            std::lock_guard lock(m_mutex);
            if (n > 0)
                (i == 0 ? m_terminal : m_piped).append(buffer, static_cast<size_t>(n));
            else
                (i == 0 ? terminalOpen : pipeOpen) = false;
        }
        m_changed.notify_all();
    }
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_changed.notify_all();
}

void CPtyProcess::Type(const std::string& keys) const {
    if (::write(m_master, keys.data(), keys.size()) < 0) return;
}

bool CPtyProcess::WaitFor(const std::string& text, size_t from) {
    std::unique_lock lock(m_mutex);
    const auto found = [&] { return m_terminal.size() >= from && m_terminal.find(text, from) != std::string::npos; };
    m_changed.wait_for(lock, kLimit, [&] { return found() || m_closed; });
    return found();
}

std::string CPtyProcess::Terminal() {
    std::lock_guard lock(m_mutex);
    return m_terminal;
}

std::string CPtyProcess::Pipe() {
    std::lock_guard lock(m_mutex);
    return m_piped;
}

int CPtyProcess::Exit() {
    int status = 0;
    if (m_pid <= 0) return -2;
    if (!pelican::test::WaitFor([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; },
                                std::chrono::duration_cast<std::chrono::milliseconds>(kLimit))) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        return -2;
    }
    m_pid = -1;
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, kLimit, [&] { return m_closed; });
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace pelican::test
