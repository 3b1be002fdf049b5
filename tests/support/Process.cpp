#include "support/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

extern char** environ;

namespace pelican::test {

std::vector<std::string> EnvironmentWith(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (changes.count(text.substr(0, text.find('='))) == 0) entries.push_back(text);
    }
    for (const auto& [name, value] : changes) entries.push_back(name + "=" + value);
    return entries;
}

namespace {

// What the child's stream number target is made of, opened in this
// process; for a pipe, this side of it goes to ours.
int Open(const CProcess::Stream& stream, int target, int& ours) {
    using Kind = CProcess::Stream::Kind;
    switch (stream.kind) {
    case Kind::Null:
        return ::open("/dev/null", O_RDWR | O_CLOEXEC);
    case Kind::File:
        return target == STDIN_FILENO ? ::open(stream.path.c_str(), O_RDONLY | O_CLOEXEC)
                                      : ::open(stream.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    case Kind::Pipe: {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return -1;
        ours = target == STDIN_FILENO ? ends[1] : ends[0];
        return target == STDIN_FILENO ? ends[0] : ends[1];
    }
    case Kind::Inherit:
    case Kind::Closed:
        break;
    }
    return -1;
}

}  // namespace

CProcess::CProcess(const std::vector<std::string>& args, const Options& options) {
    if (args.empty()) return;
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& entry : options.environment) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    const Stream* streams[3] = {&options.in, &options.out, &options.err};
    int theirs[3] = {-1, -1, -1};
    for (int i = 0; i < 3; ++i) theirs[i] = Open(*streams[i], i, m_pipes[i]);
    m_pid = ::fork();
    if (m_pid == 0) {
        for (int i = 0; i < 3; ++i) {
            if (streams[i]->kind == Stream::Kind::Closed)
                ::close(i);
            else if (theirs[i] == i)
                ::fcntl(i, F_SETFD, 0);  // already in place: only kept open through exec
            else if (theirs[i] >= 0)
                ::dup2(theirs[i], i);
        }
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's shadow memory alone is beyond any limit
        if (options.memoryLimit != 0) {
            const rlimit limit{options.memoryLimit, options.memoryLimit};
            ::setrlimit(RLIMIT_AS, &limit);
        }
#endif
        if (!options.workingDir.empty() && ::chdir(options.workingDir.c_str()) != 0) ::_exit(126);
        if (options.user != 0 && (::setgid(options.user) != 0 || ::setuid(options.user) != 0)) ::_exit(126);
        if (options.environment.empty())
            ::execv(argv[0], argv.data());
        else
            ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    for (int fd : theirs)
        if (fd >= 0) ::close(fd);
    if (m_pid < 0)
        for (int i = 0; i < 3; ++i) Close(i);
}

CProcess::CProcess(CProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)), m_status(other.m_status), m_ended(other.m_ended) {
    for (int i = 0; i < 3; ++i) m_pipes[i] = std::exchange(other.m_pipes[i], -1);
}

CProcess::~CProcess() {
    if (m_pid > 0 && !m_ended) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    for (int i = 0; i < 3; ++i) Close(i);
}

void CProcess::Close(int stream) {
    if (m_pipes[stream] >= 0) ::close(m_pipes[stream]);
    m_pipes[stream] = -1;
}

void CProcess::Signal(int signal) const {
    if (m_pid > 0 && !m_ended) ::kill(m_pid, signal);
}

int CProcess::Wait(std::chrono::milliseconds limit) {
    if (m_pid <= 0 || m_ended) return m_status;
    int status = 0;
    const bool ended = limit == kNoLimit ? ::waitpid(m_pid, &status, 0) == m_pid
                                         : WaitFor([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, limit);
    if (ended) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : kSignalled;
    } else {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_status = kNeverEnded;
    }
    m_ended = true;
    return m_status;
}

std::string CProcess::Read(int fd, bool oneLine, std::chrono::milliseconds limit) {
    std::string text;
    const auto until = std::chrono::steady_clock::now() + limit;
    for (auto now = std::chrono::steady_clock::now(); fd >= 0 && now < until; now = std::chrono::steady_clock::now()) {
        pollfd pfd{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
        if (::poll(&pfd, 1, static_cast<int>(std::min<long long>(left, 1000) + 1)) <= 0) continue;
        char buffer[4096];
        const ssize_t got = ::read(fd, buffer, oneLine ? 1 : sizeof buffer);
        if (got <= 0) break;
        if (oneLine && buffer[0] == '\n') break;
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

}  // namespace pelican::test
