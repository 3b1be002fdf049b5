// The pelican executable in batch mode against a board that the test plays
// on a pseudo-terminal, in real time: the signals that end the program, and
// ports that cannot be opened. The signal runs go side by side.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "sim/PtyBoard.h"
#include "support/SideBySide.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// As little of the boot loader as these runs need: baud-rate codes are
// echoed, Read status answers "ready", Version is never answered (the
// program waits up to 5 s for it), anything else is taken in silence.
// beforeReply, when given, is called before each byte of a reply goes out,
// with the command and the byte's index (once with index 0 for a command
// left unanswered): a test holds the board there.
class CPlayedBoard {
public:
    using Hook = std::function<void(uint8_t command, size_t index)>;
    explicit CPlayedBoard(Hook beforeReply = {})
        : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)), m_beforeReply(std::move(beforeReply)) {
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) != 0) return;
        m_path = name;
        m_thread = std::thread([this] {
            // Its time stamps and answers are the board's, not the load's.
            sim::CPtyBoard::AnswerInRealTime();
            for (uint8_t byte = 0; !m_stop;) {
                pollfd pfd{m_master, POLLIN, 0};
                if (::poll(&pfd, 1, 20) <= 0 || ::read(m_master, &byte, 1) != 1) continue;
                {
                    std::lock_guard lock(m_mutex);
                    m_received.push_back(byte);
                    m_times.push_back(Clock::now());
                }
                const Bytes reply = byte >= 0xB0 && byte <= 0xB4 ? Bytes{byte} : byte == 0x70 ? Bytes{0x80, 0} : Bytes{};
                for (size_t i = 0; i < std::max<size_t>(reply.size(), 1); ++i) {
                    if (m_beforeReply) m_beforeReply(byte, i);
                    if (i < reply.size() && ::write(m_master, &reply[i], 1) < 0) return;
                }
            }
        });
    }
    ~CPlayedBoard() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        ::close(m_master);
    }
    const std::string& Path() const { return m_path; }
    // What came after the program first sent byte (nothing before it did).
    Bytes After(uint8_t byte) {
        std::lock_guard lock(m_mutex);
        const auto at = std::find(m_received.begin(), m_received.end(), byte);
        return at == m_received.end() ? Bytes{} : Bytes(at + 1, m_received.end());
    }
    // How long the line stayed quiet after the program first sent byte, as
    // the board took the bytes in (zero while nothing followed).
    Clock::duration QuietAfter(uint8_t byte) {
        std::lock_guard lock(m_mutex);
        const auto at = std::find(m_received.begin(), m_received.end(), byte);
        if (at == m_received.end() || at + 1 == m_received.end()) return {};
        const size_t index = static_cast<size_t>(at - m_received.begin());
        return m_times[index + 1] - m_times[index];
    }
    bool Sent(uint8_t byte) {
        std::lock_guard lock(m_mutex);
        return std::find(m_received.begin(), m_received.end(), byte) != m_received.end();
    }

private:
    int m_master;
    Hook m_beforeReply;
    std::string m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    Bytes m_received;
    std::vector<Clock::time_point> m_times;  // when each byte was taken in
};

// True once the process has taken in the signal it was sent: no longer
// pending, so that the next one of its kind is a signal of its own rather
// than merged into it.
bool Delivered(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("ShdPnd:", 0) == 0) return ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1) == 0;
    return true;  // gone
}

// pelican with its settings, lock and standard error (file "err") in dir,
// no standard input; as another user when user is not 0. output, when
// given, is the file standard output goes to instead of the pipe, or
// "closed" for none at all.
class Child {
public:
    explicit Child(CProcess process) : pid(process.Pid()), m_process(std::move(process)) {}
    const pid_t pid;
    // The exit status; -1 when it ended by a signal, -2 when it never ended.
    int Exit() const { return m_process.Wait(); }
    std::string Output() const { return m_process.ReadOut(); }

private:
    mutable CProcess m_process;
};

Child Start(const std::vector<std::string>& args, const std::string& dir, bool closeOutput = false, uid_t user = 0,
            const char* output = nullptr) {
    std::vector<std::string> argv{PELICAN_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    CProcess::Options options;
    options.environment = ProgramEnvironment(dir);
    options.out = output == nullptr                   ? CProcess::Stream::Pipe()
                  : std::string(output) == "closed" ? CProcess::Stream::Closed()
                                                    : CProcess::Stream::File(output);
    options.err = CProcess::Stream::File(dir + "/err");
    options.user = user;
    CProcess process(argv, options);
    if (closeOutput) process.CloseOut();
    return Child(std::move(process));
}

// Back to 9600 bps from 115200: the rate in force confirmed (B4), the new one
// asked for (B0) and confirmed at 9600 (B0).
const Bytes kBackTo9600 = {0xB4, 0xB0, 0xB0};

// Where in the first exchanges the signal comes: the board holds the reply's
// byte index to command (the first time it is sent) until the program has
// taken the signal in. The exchange in flight is let finish (the version's
// reply never comes: its 5 s time-out runs out), then the link goes back to
// 9600 bps; no later exchange starts. The first status is read at start-up,
// still at 9600 bps (no rate is stored yet): nothing goes on the wire to
// return to it.
struct SignalPoint {
    const char* where;
    uint8_t command;
    size_t index;
    const char* waitedFor;
    Bytes back;  // what the board takes after the reply
};
const SignalPoint kSignalPoints[] = {
    {"the status awaited", 0x70, 0, "the status", {}},
    {"between the status reply's two bytes", 0x70, 1, "the status", {}},
    {"the version leaving and awaited", 0xFB, 0, "the version", kBackTo9600},
};

void EndBySignal(int signal, const SignalPoint& point) {
    const std::string name = signal == SIGINT ? "SIGINT" : signal == SIGHUP ? "SIGHUP" : "SIGTERM";
    SCOPED_TRACE(name + " at " + point.where);
    CTempDir dir;
    std::atomic<pid_t> pid{-1};
    std::atomic<bool> sent{false};
    CPlayedBoard board([&](uint8_t command, size_t index) {
        if (command != point.command || index != point.index || sent.exchange(true)) return;
        WaitFor([&] { return pid.load() > 0; });
        // The first Ctrl-C only cancels a page loop; the second ends the
        // program. Each is taken in before the next one, and before the
        // board goes on.
        for (int i = signal == SIGINT ? 2 : 1; i > 0; --i) {
            ::kill(pid, signal);
            WaitFor([&] { return Delivered(pid, signal); });
        }
    });
    const Child run = Start({"-p", board.Path(), "-b", "115200", "version"}, dir.Path());
    pid = run.pid;
    EXPECT_EQ(run.Exit(), 128 + signal);
    ASSERT_TRUE(sent);
    // Told what is waited for, however far the frame had gone when the
    // signal came (a frame still leaving is told, then its reply's wait).
    const std::string err = dir.Read("err");
    EXPECT_NE(err.find(name + ": waiting for "), std::string::npos) << err;
    if (point.command == 0xFB) {
        EXPECT_NE(err.find(name + ": waiting for the version, up to "), std::string::npos) << err;
    }
    EXPECT_NE(err.find(name + ": returning the link to 9600 bps\npelican: link at 9600 bps; port closed\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(run.Output(), "");
    // The board's reader may take the last byte off the terminal only after
    // the program has gone.
    WaitFor([&] { return board.After(point.command).size() >= point.back.size(); });
    EXPECT_EQ(board.After(point.command), point.back) << err;
    if (point.command != 0xFB) {
        EXPECT_FALSE(board.Sent(0xFB));  // no later exchange
    }
    // Nothing until the version's own 5 s time-out has run out: a run that
    // cut the exchange short would go on within milliseconds. The bound
    // leaves a second for the terminal's hand-over of either byte to the
    // board, which a loaded machine delays.
    if (point.command == 0xFB) {
        EXPECT_GE(board.QuietAfter(0xFB), std::chrono::milliseconds(4000));
    }
    const int again = ::open(board.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);  // released
    EXPECT_EQ(::flock(again, LOCK_EX | LOCK_NB), 0);
    ::close(again);
}

// A second signal in that wait: at once, nothing more sent, status 3.
void EndTwice() {
    SCOPED_TRACE("SIGTERM twice");
    CTempDir dir;
    CPlayedBoard board;
    const Child run = Start({"-p", board.Path(), "-b", "115200", "version"}, dir.Path());
    ASSERT_TRUE(WaitFor([&] { return board.Sent(0xFB); }));
    ::kill(run.pid, SIGTERM);
    ASSERT_TRUE(WaitFor([&] { return dir.Read("err").find("waiting for") != std::string::npos; }));
    ::kill(run.pid, SIGTERM);
    EXPECT_EQ(run.Exit(), 3);
    EXPECT_EQ(board.After(0xFB), Bytes{});
    EXPECT_NE(dir.Read("err").find("pelican: signal given again (after SIGTERM): the board was left as it is; it needs "
                                   "a RESET (in boot mode) before the next run; port closed\n"),
              std::string::npos)
        << dir.Read("err");
}

// Mid-change (the board already at 115200, the port not yet): the change is
// finished first, then undone; else the board would be left where the next
// run cannot reach it.
void EndMidChange() {
    SCOPED_TRACE("SIGTERM during the baud-rate change");
    CTempDir dir;
    CPlayedBoard board;
    const Child run = Start({"-p", board.Path(), "-b", "115200", "version"}, dir.Path());
    ASSERT_TRUE(WaitFor([&] { return board.Sent(0xB4); }));
    ::kill(run.pid, SIGTERM);
    EXPECT_EQ(run.Exit(), 128 + SIGTERM);
    // The board's reader may take the last byte off the terminal only after
    // the program has gone.
    WaitFor([&] { return board.After(0xB4).size() >= 4; });
    const Bytes after = board.After(0xB4);
    ASSERT_GE(after.size(), 4u) << ::testing::PrintToString(after) << dir.Read("err");
    EXPECT_EQ(after.front(), 0xB4);  // confirmed at 115200
    EXPECT_EQ(Bytes(after.end() - 3, after.end()), kBackTo9600);
}

// pelican ... | head -1: standard output is gone before the first line.
void EndByClosedOutput() {
    SCOPED_TRACE("standard output closed");
    CTempDir dir;
    CPlayedBoard board;
    const Child run = Start({"-p", board.Path(), "-b", "115200", "status"}, dir.Path(), true);
    EXPECT_EQ(run.Exit(), 128 + SIGPIPE);
    WaitFor([&] { return board.After(0x70).size() >= kBackTo9600.size(); });
    const Bytes after = board.After(0x70);
    ASSERT_GE(after.size(), kBackTo9600.size());
    EXPECT_EQ(Bytes(after.end() - 3, after.end()), kBackTo9600);
    EXPECT_NE(dir.Read("err").find("SIGPIPE: returning the link to 9600 bps"), std::string::npos) << dir.Read("err");
}

TEST(BatchProcess, SignalsReturnTheLinkTo9600AfterTheExchangeAndReleaseThePort) {
    std::vector<std::function<void()>> runs = {EndTwice, EndMidChange, EndByClosedOutput};
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        for (const SignalPoint& point : kSignalPoints) runs.push_back([signal, &point] { EndBySignal(signal, point); });
    SideBySide(runs);
}

TEST(BatchProcess, OutputThatCannotBeWrittenEndsWithOneOnceTheLinkIsBack) {
    // A full disk or no standard output at all: what the run had to say is
    // lost, so it is no success, and standard error says so last.
    const struct {
        std::vector<std::string> args;
        const char* output;
        const char* why;
    } cases[] = {
        {{"status"}, "/dev/full", "No space left on device"},
        {{"--json", "status"}, "/dev/full", "No space left on device"},
        {{"status", "version"}, "closed", "it is closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output + std::string(" ") + c.args[0]);
        CTempDir dir;
        CPlayedBoard board;
        std::vector<std::string> args = {"-p", board.Path()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Child run = Start(args, dir.Path(), false, 0, c.output);
        EXPECT_EQ(run.Exit(), 1);
        const std::string err = dir.Read("err");
        const std::string told = std::string("pelican: standard output could not be written: ") + c.why + "\n";
        ASSERT_GE(err.size(), told.size()) << err;
        EXPECT_EQ(err.substr(err.size() - told.size()), told) << err;
        EXPECT_NE(err.find("pelican: link returned to 9600 bps; port closed\n"), std::string::npos) << err;
        // No further action after the loss: the version is never asked for.
        EXPECT_FALSE(board.Sent(0xFB));
    }
}

TEST(BatchProcess, AGangWhoseOutputCannotBeWrittenEndsEveryBoardWithOne) {
    // The boards of a gang share standard output: when it is lost, each
    // board's run ends after the action in hand at 9600 bps and says so.
    const struct {
        std::vector<std::string> args;
        const char* output;
        const char* why;
    } cases[] = {
        {{"status", "version"}, "/dev/full", "No space left on device"},
        {{"--json", "status", "version"}, "/dev/full", "No space left on device"},
        {{"status", "version"}, "closed", "it is closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output + std::string(" ") + c.args[0]);
        CTempDir dir;
        CPlayedBoard first;
        CPlayedBoard second;
        std::vector<std::string> args = {"-p", first.Path(), "-p", second.Path()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Child run = Start(args, dir.Path(), false, 0, c.output);
        EXPECT_EQ(run.Exit(), 1);
        const std::string err = dir.Read("err");
        for (CPlayedBoard* board : {&first, &second}) {
            const std::string prefix = "pelican: " + board->Path() + ": ";
            EXPECT_NE(err.find(prefix + "standard output could not be written: " + c.why + "\n"), std::string::npos)
                << err;
            EXPECT_NE(err.find(prefix + "link returned to 9600 bps; port closed\n"), std::string::npos) << err;
            EXPECT_FALSE(board->Sent(0xFB));  // no version asked for after the loss
        }
    }
}

TEST(BatchProcess, APortThatCannotBeOpenedIsToldOnceWithItsReason) {
    CTempDir dir;
    dir.Write("plain", "not a device");
    CPlayedBoard held;
    const int holder = ::open(held.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);  // another program drives it
    for (const auto& [port, reason] : {std::pair<std::string, std::string>{dir.File("ttyUSB9"), "No such file or directory"},
                                       {dir.File("plain"), "not a serial device"},
                                       {held.Path(), "in use by another program"}}) {
        const Child run = Start({"-p", port, "status", "version"}, dir.Path());
        EXPECT_EQ(run.Exit(), 3) << port;
        EXPECT_EQ(run.Output(), "") << port;  // no "Communication error. Push RESET."
        EXPECT_EQ(dir.Read("err"), "pelican: port " + port + "\npelican: cannot open " + port + ": " + reason + "\n");
    }
    ::close(holder);

    // A device of the group dialout, for a user not in it: the group to join.
    const group* dialout = ::getgrnam("dialout");
    if (::getuid() != 0 || dialout == nullptr) GTEST_SKIP() << "needs root and a dialout group to try another user";
    CPlayedBoard board;
    ASSERT_EQ(::chown(board.Path().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(board.Path().c_str(), 0660), 0);
    const std::string own = dir.File("nobody");  // a lock and settings of its own
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0711), 0);
    ASSERT_EQ(::mkdir(own.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(own.c_str(), 0777), 0);
    const Child run = Start({"-p", board.Path(), "status"}, own, false, 65534);
    EXPECT_EQ(run.Exit(), 3);
    EXPECT_EQ(dir.Read("nobody/err"), "pelican: port " + board.Path() + "\npelican: cannot open " + board.Path() +
                                          ": Permission denied; the port belongs to the group dialout: join it (sudo "
                                          "adduser $USER dialout) and log in again\n");
}

}  // namespace
}  // namespace pelican::test
