// The pelican executable in batch mode against a board that the test plays
// on a pseudo-terminal, in real time: the signals that end the program, and
// ports that cannot be opened.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace pelican::test {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// The boot loader's side of the wire, as little of it as these runs need:
// baud-rate codes are echoed, Read status answers "ready", Version is never
// answered (the program waits for it), everything else is taken in silence.
class CPlayedBoard {
public:
    CPlayedBoard() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
        m_path = ::ptsname(m_master);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CPlayedBoard() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_master >= 0) ::close(m_master);
    }
    const std::string& Path() const { return m_path; }
    Bytes Received() {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    // Waits (up to 15 s) until the program has sent byte; false if it never does.
    bool WaitFor(uint8_t byte) {
        for (const auto until = Clock::now() + std::chrono::seconds(15); Clock::now() < until;) {
            const Bytes received = Received();
            if (std::find(received.begin(), received.end(), byte) != received.end()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // What came after the first time byte was sent.
    Bytes After(uint8_t byte) {
        const Bytes received = Received();
        const auto at = std::find(received.begin(), received.end(), byte);
        return at == received.end() ? Bytes{} : Bytes(at + 1, received.end());
    }

private:
    void Serve() {
        while (!m_stop) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0 || !(pfd.revents & POLLIN)) continue;
            uint8_t buffer[512];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                const uint8_t byte = buffer[i];
                {
                    std::lock_guard lock(m_mutex);
                    m_received.push_back(byte);
                }
                Bytes reply;
                if (byte >= 0xB0 && byte <= 0xB4) reply = {byte};
                if (byte == 0x70) reply = {0x80, 0x00};
                if (!reply.empty() && ::write(m_master, reply.data(), reply.size()) < 0) return;
            }
        }
    }

    int m_master = -1;
    std::string m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    Bytes m_received;
};

struct Running {
    pid_t pid = -1;
    int out = -1;  // read end of its standard output, or -1
};

// Starts pelican with its files in dir (a folder anybody may write, for runs
// as another user), standard input from /dev/null, standard error into
// dir/err. outClosed: standard output is a pipe nobody reads any more.
Running Start(const std::vector<std::string>& args, const std::string& dir, bool outClosed = false, uid_t user = 0) {
    int out[2];
    if (::pipe(out) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        const int null = ::open("/dev/null", O_RDWR);
        const int err = ::open((dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(null, 0);
        ::dup2(out[1], 1);
        ::dup2(err, 2);
        ::close(out[0]);
        if (user != 0 && (::setgid(user) != 0 || ::setuid(user) != 0)) ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(PELICAN_EXE)};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(PELICAN_EXE, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (outClosed) {
        ::close(out[0]);
        return {pid, -1};
    }
    return {pid, out[0]};
}

// Its exit status (-1 when it ended by a signal), waiting at most limit.
int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
    for (const auto until = Clock::now() + limit; Clock::now() < until;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -2;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    if (fd >= 0) ::close(fd);
    return text;
}

bool PortFree(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) ::close(fd);
    return free;
}

// The link's way back to 9600 bps from 115200: the rate in force confirmed
// (B4), the new one asked for (B0), and confirmed again at 9600 (B0).
const Bytes kBackTo9600 = {0xB4, 0xB0, 0xB0};

TEST(BatchProcess, SignalsReturnTheLinkTo9600AtOnceAndReleaseThePort) {
    // The program waits up to 5 s for a version that never comes; each of
    // these ends it right away, and the board is left at 9600 bps for the
    // next run.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(::strsignal(signal));
        CTempDir dir;
        CPlayedBoard board;
        ASSERT_FALSE(board.Path().empty());
        Running run = Start({"-p", board.Path(), "-b", "115200", "version"}, dir.Path());
        ASSERT_TRUE(board.WaitFor(0xFB));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (signal == SIGINT) {
            // The first Ctrl-C only cancels a page loop; the second ends the program.
            ::kill(run.pid, SIGINT);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const auto sent = Clock::now();
        ::kill(run.pid, signal);
        // The way back starts at once, not after the 5 s time-out; it takes
        // the protocol's two one-second steps.
        while (board.After(0xFB).empty() && Clock::now() - sent < std::chrono::seconds(6))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_LT(Clock::now() - sent, std::chrono::milliseconds(500));
        EXPECT_EQ(WaitExit(run.pid, std::chrono::seconds(5)), 128 + signal);
        EXPECT_EQ(board.After(0xFB), kBackTo9600);
        EXPECT_EQ(ReadAll(run.out), "");
        EXPECT_NE(dir.Read("err").find("link at 9600 bps; port closed"), std::string::npos) << dir.Read("err");
        EXPECT_TRUE(PortFree(board.Path()));
    }
}

TEST(BatchProcess, AClosedStandardOutputEndsLikeASignal) {
    // pelican ... | head -1: the reader has gone before the first line.
    CTempDir dir;
    CPlayedBoard board;
    Running run = Start({"-p", board.Path(), "-b", "115200", "status"}, dir.Path(), true);
    EXPECT_EQ(WaitExit(run.pid, std::chrono::seconds(15)), 128 + SIGPIPE);
    const Bytes received = board.Received();
    ASSERT_GE(received.size(), kBackTo9600.size());
    EXPECT_EQ(Bytes(received.end() - 3, received.end()), kBackTo9600);
    EXPECT_NE(dir.Read("err").find("SIGPIPE: returning the link to 9600 bps"), std::string::npos) << dir.Read("err");
}

TEST(BatchProcess, APortThatCannotBeOpenedIsToldOnceWithItsReason) {
    CTempDir dir;
    ::chmod(dir.Path().c_str(), 0777);
    dir.Write("plain", "not a device");
    CPlayedBoard held;
    const int holder = ::open(held.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);  // another program drives it
    const std::pair<std::string, std::string> cases[] = {
        {dir.File("ttyUSB9"), "No such file or directory"},
        {dir.File("plain"), "not a serial device"},
        {held.Path(), "in use by another program"},
    };
    for (const auto& [port, reason] : cases) {
        Running run = Start({"-p", port, "status", "version"}, dir.Path());
        EXPECT_EQ(WaitExit(run.pid, std::chrono::seconds(5)), 3) << port;
        EXPECT_EQ(ReadAll(run.out), "") << port;  // no "Communication error. Push RESET."
        EXPECT_EQ(dir.Read("err"), "pelican: port " + port + "\npelican: cannot open " + port + ": " + reason + "\n");
    }
    ::close(holder);

    // A device of the group dialout that the user is not in: the group to join.
    const group* dialout = ::getgrnam("dialout");
    if (::getuid() != 0 || dialout == nullptr) GTEST_SKIP() << "needs root and a dialout group to try another user";
    CPlayedBoard board;
    ASSERT_EQ(::chown(board.Path().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(board.Path().c_str(), 0660), 0);
    const std::string own = dir.File("nobody");  // a lock and settings of its own
    ASSERT_EQ(::mkdir(own.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(own.c_str(), 0777), 0);
    Running run = Start({"-p", board.Path(), "status"}, own, false, 65534);
    EXPECT_EQ(WaitExit(run.pid, std::chrono::seconds(5)), 3);
    EXPECT_EQ(ReadAll(run.out), "");
    EXPECT_EQ(dir.Read("nobody/err"), "pelican: port " + board.Path() + "\npelican: cannot open " + board.Path() +
                                   ": Permission denied; the port belongs to the group dialout: join it (sudo "
                                   "adduser $USER dialout) and log in again\n");
}

}  // namespace
}  // namespace pelican::test
