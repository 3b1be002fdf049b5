// The stand-alone board program: it prints its terminal, serves it, takes
// RESET from Enter and SIGUSR1, and cleans up on SIGTERM.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "link/posix/PosixSerialDevice.h"
#include "link/SerialComm.h"
#include "support/SimBench.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

struct Child {
    pid_t pid = -1;
    int input = -1;   // its stdin
    int output = -1;  // its stdout
};

// memoryLimit: bytes of address space the child may use (0: no limit);
// errPath: the file its standard error goes to (empty: this program's).
Child Spawn(const std::vector<std::string>& args, rlim_t memoryLimit = 0, const std::string& errPath = "") {
    int in[2];
    int out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) return {};
    const int err = errPath.empty() ? -1 : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t pid = ::fork();
    if (pid == 0) {
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's shadow memory alone is beyond any limit
        if (memoryLimit != 0) {
            const rlimit limit{memoryLimit, memoryLimit};
            ::setrlimit(RLIMIT_AS, &limit);
        }
#else
        static_cast<void>(memoryLimit);
#endif
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        if (err >= 0) ::dup2(err, STDERR_FILENO);
        ::close(in[1]);
        ::close(out[0]);
        std::vector<char*> argv{const_cast<char*>(PELICAN_SIM_EXE)};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(PELICAN_SIM_EXE, argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    if (err >= 0) ::close(err);
    return Child{pid, in[1], out[0]};
}

// Everything the child writes to stdout until it closes it (or a line, if
// oneLine); the limit only ends the wait on a child that hangs.
std::string ReadOutput(int fd, bool oneLine) {
    std::string text;
    const auto until = std::chrono::steady_clock::now() + kFaultLimit;
    while (std::chrono::steady_clock::now() < until) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0) continue;
        char c = 0;
        if (::read(fd, &c, 1) != 1) break;
        if (oneLine && c == '\n') break;
        text += c;
    }
    return text;
}

// The exit status, or -1 when it never ended (then it is killed).
int WaitExit(pid_t pid) {
    int status = 0;
    if (WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }))
        return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

void CloseChild(const Child& child) {
    ::close(child.input);
    ::close(child.output);
}

TEST(PelicanSim, HelpAndBadOptions) {
    Child help = Spawn({"--help"});
    ASSERT_GT(help.pid, 0);
    EXPECT_NE(ReadOutput(help.output, false).find("Usage: pelican-sim"), std::string::npos);
    EXPECT_EQ(WaitExit(help.pid), 0);
    CloseChild(help);
    Child bad = Spawn({"--type", "z"});
    ASSERT_GT(bad.pid, 0);
    EXPECT_EQ(WaitExit(bad.pid), 2);
    CloseChild(bad);
}

TEST(PelicanSim, SrecFileThatIsNoOrdinaryFileEndsItAtOnce) {
    // A pipe nobody writes to must not hold the board (and SIGTERM) up, and an
    // endless device must not eat memory: both are refused before anything
    // is served. The memory limit keeps a faulty build from hurting the machine.
    CTempDir dir;
    const std::string fifo = dir.File("pipe.mot");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.Path()}) {
        Child child = Spawn({"--srec", path}, rlim_t{1} << 30);
        ASSERT_GT(child.pid, 0);
        EXPECT_EQ(ReadOutput(child.output, true), "") << path;  // no terminal was served
        EXPECT_EQ(WaitExit(child.pid), 1) << path;
        CloseChild(child);
    }
}

TEST(PelicanSim, ServesItsTerminalTakesResetAndEndsCleanly) {
    CTempDir dir;
    const std::string link = dir.File("orca");
    Child child = Spawn({"--type", "w", "--version-text", "SIMTEST1", "--link", link}, 0, dir.File("err"));
    ASSERT_GT(child.pid, 0);
    const std::string path = ReadOutput(child.output, true);
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);

    CSerialComm port(std::make_unique<CPosixSerialDevice>(), RealClock());
    ASSERT_EQ(port.Open(link), 1);
    port.SetState(CSerialCommState(9600, 8, 0, 0));
    port.SetReadTimeout(1000);
    EXPECT_EQ(Exchange(port, Bytes(16, 0x00), 1), Bytes{0xB0});
    EXPECT_EQ(Exchange(port, {0xFB}, 8), (Bytes{'S', 'I', 'M', 'T', 'E', 'S', 'T', '1'}));
    Exchange(port, {0xF5, 0xDF, 0xFF, 0xFF, 0x07, 1, 2, 3, 4, 5, 6, 7}, 0);
    EXPECT_EQ(Exchange(port, {0x70}, 2), (Bytes{0x80, 0x0C}));

    // The board tells each RESET it took on its standard error.
    const auto resets = [&] {
        const std::string err = dir.Read("err");
        size_t count = 0;
        for (size_t at = err.find("pelican-sim: RESET\n"); at != std::string::npos;
             at = err.find("pelican-sim: RESET\n", at + 1))
            ++count;
        return count;
    };
    auto expectReset = [&](const char* how, size_t count) {
        ASSERT_TRUE(WaitFor([&] { return resets() >= count; })) << how;
        port.SetReadTimeout(300);
        EXPECT_TRUE(Exchange(port, {0x70}, 2).empty()) << how;
        port.SetReadTimeout(1000);
        EXPECT_EQ(Exchange(port, Bytes(16, 0x00), 1), Bytes{0xB0}) << how;
        EXPECT_EQ(Exchange(port, {0x70}, 2), (Bytes{0x80, 0x00})) << how;
    };
    ::kill(child.pid, SIGUSR1);
    expectReset("SIGUSR1", 1);
    ASSERT_EQ(::write(child.input, "\n", 1), 1);
    expectReset("Enter", 2);

    ::kill(child.pid, SIGTERM);
    EXPECT_EQ(WaitExit(child.pid), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    // The terminal went with it: the host sees a dead line, not a time-out.
    uint8_t byte = 0;
    EXPECT_EQ(port.Receive(&byte, 1), 0);
    EXPECT_EQ(port.m_timedOut, 0);
    CloseChild(child);
}

}  // namespace
}  // namespace pelican::test
