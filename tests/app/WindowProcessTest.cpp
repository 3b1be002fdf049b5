// The Linux window program as a process on an X server of its own (Xvfb,
// answered with xdotool): why it does not start (4, 5) and how SIGTERM,
// SIGHUP and Ctrl-C end it through its event loop, the link back at
// 9600 bps first. Each run has its own settings and runtime folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <list>
#include <sstream>

#include "support/ChildProcess.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

// The program's path on PATH; empty when it is not there.
std::string Which(const std::string& program) {
    std::istringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
    for (std::string dir; std::getline(path, dir, ':');)
        if (::access((dir + "/" + program).c_str(), X_OK) == 0) return dir + "/" + program;
    return {};
}

// Whether the process has ended, left to be reaped by its Wait.
bool Ended(const CProcess& process) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(process.Pid()), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == process.Pid();
}

class WindowProcess : public ::testing::Test {
protected:
    void SetUp() override {
        m_xdotool = Which("xdotool");
        const std::string xvfb = Which("Xvfb");
        if (xvfb.empty() || m_xdotool.empty()) GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/setup.sh)";
        // On a display it picks itself (no fixed number shared with other
        // checkouts), told when it takes connections. Without -noreset the
        // server starts over each time its last client leaves, and refuses
        // whoever connects meanwhile: the next copy of the program, or the
        // xdotool that was to press its keys.
        CProcess::Options options;
        options.out = CProcess::Stream::Pipe();
        m_x = std::make_unique<CProcess>(std::vector<std::string>{xvfb, "-displayfd", "1", "-noreset", "-screen", "0",
                                                                  "1024x768x24", "-nolisten", "tcp"},
                                         options);
        const std::string number = m_x->ReadOut(true);
        if (number.empty()) GTEST_SKIP() << "Xvfb did not start";
        m_display = ":" + number;
        ::mkdir(m_dir.File("run").c_str(), 0700);
    }
    void TearDown() override {
        m_programs.clear();  // a copy still running is killed before its server
        if (m_x) {
            m_x->Signal(SIGTERM);
            m_x->Wait();
        }
    }

    // A copy of the window program, its standard error in tag.err.
    CProcess& Pelican(const std::string& tag, const std::string& runtime) {
        CProcess::Options options;
        options.environment = EnvironmentWith({{"DISPLAY", m_display},
                                               {"QT_QPA_PLATFORM", "xcb"},
                                               {"XDG_RUNTIME_DIR", runtime},
                                               {"XDG_CONFIG_HOME", m_dir.Path()},
                                               {"HOME", m_dir.Path()}});
        options.workingDir = m_dir.Path();
        options.err = CProcess::Stream::File(m_dir.File(tag + ".err"));
        return m_programs.emplace_back(std::vector<std::string>{PELICAN_EXE}, options);
    }
    // xdotool with its output; empty when it failed (a window gone meanwhile).
    std::string XDo(const std::vector<std::string>& args) const {
        std::vector<std::string> all = {m_xdotool};
        all.insert(all.end(), args.begin(), args.end());
        CProcess::Options options;
        options.environment = EnvironmentWith({{"DISPLAY", m_display}});
        options.out = CProcess::Stream::File(m_dir.File("xdo.out"));
        return CProcess(all, options).Wait() == 0 ? m_dir.Read("xdo.out") : std::string();
    }
    // The program's mapped top-level window with this title, waited for;
    // empty when the program ended first (its standard error tells why).
    // Keys go to a window only once it has the keyboard focus (Qt gives it
    // to a window it shows, there being no window manager): before Qt has
    // heard of the focus the window has no focused field, and a Tab lands
    // elsewhere. They are typed as the keyboard's own (XTEST), which the
    // server hands to the focused window: with --window, xdotool sends each
    // key as a synthetic event unless it finds that window focused, and Qt
    // was seen to ignore every such key in one copy of two.
    std::string Window(const CProcess& program, const std::string& title, bool focused = false) const {
        std::string id;
        WaitFor([&] {
            const std::string found = XDo({"search", "--all", "--onlyvisible", "--pid", std::to_string(program.Pid()),
                                           "--name", "^" + title + "$"});
            id = found.substr(0, found.find('\n'));
            if (!id.empty() && focused && XDo({"getwindowfocus", "-f"}) != id + "\n") id.clear();
            return !id.empty() || Ended(program);
        });
        return id;
    }
    // The titles of the program's windows on the screen, for a failure's message.
    std::string Titles(const CProcess& program) const {
        return "windows shown:\n" + XDo({"search", "--onlyvisible", "--pid", std::to_string(program.Pid()), "--name",
                                          ".", "getwindowname", "%@"});
    }
    // Keys to the focused window, pressed or typed as text.
    void Keys(const std::vector<std::string>& keys, bool typed = false) const {
        std::vector<std::string> args = {typed ? "type" : "key", "--delay", "20"};
        args.insert(args.end(), keys.begin(), keys.end());
        XDo(args);
    }
    // OK pressed on the program's box (captioned "Pelican"); the exit status.
    int AnswerAndReap(CProcess& program, const std::string& tag) const {
        if (Window(program, "Pelican", true).empty())
            ADD_FAILURE() << "no box\n" << Titles(program) << m_dir.Read(tag + ".err");
        Keys({"Return"});
        return program.Wait();
    }
    // The port typed into "Select Program" and OK pressed.
    void SelectPort(const CProcess& program, const std::string& port) const {
        ASSERT_FALSE(Window(program, "Select Program", true).empty()) << Titles(program);
        Keys({"Tab"});
        Keys({port}, true);
        Keys({"Return"});
    }

    CTempDir m_dir;
    std::string m_xdotool;
    std::unique_ptr<CProcess> m_x;
    std::string m_display;
    std::list<CProcess> m_programs;
};

// The first copy holds the lock; the second shows "This program is
// already running." in a box captioned "Pelican" and on standard error,
// ends with 4 once OK is pressed, and leaves the first as it was.
TEST_F(WindowProcess, ASecondCopyEndsWithFour) {
    CProcess& first = Pelican("first", m_dir.File("run"));
    ASSERT_FALSE(Window(first, "Select Program").empty()) << m_dir.Read("first.err");
    const int lock = ::open(m_dir.File("run/PELICAN.exe.lock").c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_TRUE(lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) != 0) << "the first copy holds no lock";
    if (lock >= 0) ::close(lock);

    CProcess& second = Pelican("second", m_dir.File("run"));
    EXPECT_EQ(AnswerAndReap(second, "second"), 4);
    EXPECT_EQ(m_dir.Read("second.err"), "pelican: This program is already running.\n");

    EXPECT_FALSE(Window(first, "Select Program").empty()) << m_dir.Read("first.err");
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 128 + SIGTERM);
    EXPECT_EQ(m_dir.Read("first.err"), "pelican: SIGTERM: ending; no port is open\n");
}

// No lock file can be made: the runtime folder's path runs through a
// regular file, which the box and standard error name. (A missing folder is made by Qt itself, 0700, as the
// window system starts, so the lock is then taken; a read-only folder does
// not stop root, whom the suite may run as.)
TEST_F(WindowProcess, NoLockFileEndsWithFive) {
    m_dir.Write("plain", "");
    for (const std::string& runtime : std::vector<std::string>{m_dir.File("plain/run"), m_dir.File("plain/run/deeper")}) {
        SCOPED_TRACE(runtime);
        CProcess& program = Pelican("nolock", runtime);
        EXPECT_EQ(AnswerAndReap(program, "nolock"), 5);
        // After Qt's own line on the folder it could not make.
        const std::string line = "\npelican: Can not make the lock file in " + runtime + ": Not a directory.\n";
        EXPECT_NE(m_dir.Read("nolock.err").find(line), std::string::npos) << m_dir.Read("nolock.err");
        struct stat info {};
        EXPECT_NE(::stat(runtime.c_str(), &info), 0) << "the folder was made";
    }
}

// pelican-sim's --verbose lines: one per command frame the board took.
std::vector<std::string> BoardFrames(const std::string& text) {
    std::vector<std::string> frames;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("pelican-sim: ", 0) == 0) frames.push_back(line.substr(13));
    return frames;
}

// The frames at the end of the board's log. The board is another process
// that writes its log as it goes: its last lines may come a little after
// the program's window or its end, so they are waited for.
bool LogEndsWith(const std::vector<std::string>& frames, const std::vector<std::string>& last) {
    return frames.size() >= last.size() && std::equal(last.begin(), last.end(), frames.end() - static_cast<long>(last.size()));
}

// The stored rate moves the link to 115200 bps at start-up; a signal while
// the ID Check waits for the user ends the program through its event loop,
// the board brought back to 9600 bps first: its current rate's code and
// 9600's at 115200, then 9600's at 9600.
TEST_F(WindowProcess, ASignalReturnsTheLinkTo9600AndEnds) {
    m_dir.Write("pelican.INI", "[Last Comm State]\nBaundrate=115200\nByte=8\nStop Bit=0\nParity=0\n");
    // Synchronisation, the move to 115200 bps, Read Status and Clear Status.
    const std::vector<std::string> toIdCheck = {"00 00 00 00 00 00 00 00 ... (16 bytes)", "B0 (1 bytes)", "B4 (1 bytes)",
                                                "B4 (1 bytes)", "70 (1 bytes)", "50 (1 bytes)"};
    std::vector<std::string> all = toIdCheck;
    for (const char* frame : {"B4 (1 bytes)", "B0 (1 bytes)", "B0 (1 bytes)"}) all.emplace_back(frame);
    for (const auto& [signal, name] : {std::pair{SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGINT, "SIGINT"}}) {
        SCOPED_TRACE(name);
        const std::string boardLog = m_dir.File(std::string(name) + "-board.err");
        CSimProcess board(PELICAN_SIM_EXE, {"--verbose"}, boardLog);
        ASSERT_FALSE(board.Path().empty());
        const auto frames = [&] { return BoardFrames(m_dir.Read(std::string(name) + "-board.err")); };
        CProcess& program = Pelican(name, m_dir.File("run"));
        SelectPort(program, board.Path());
        ASSERT_FALSE(Window(program, "ID Check").empty()) << m_dir.Read(std::string(name) + ".err") << Titles(program);
        WaitFor([&] { return LogEndsWith(frames(), toIdCheck); });
        EXPECT_EQ(frames(), toIdCheck);
        program.Signal(signal);
        EXPECT_EQ(program.Wait(), 128 + signal);
        WaitFor([&] { return LogEndsWith(frames(), all); });
        EXPECT_EQ(frames(), all);
        EXPECT_EQ(m_dir.Read(std::string(name) + ".err"), std::string("pelican: ") + name +
                                                               ": returning the link to 9600 bps\n"
                                                               "pelican: link at 9600 bps; port closed\n");
    }
}

// A signal that comes while the link is being moved to 115200 bps at
// start-up (the board held still after the first code, so that the change
// cannot end before it) is let finish the change: the rates agree again,
// and only then is the board brought back to 9600 bps.
TEST_F(WindowProcess, ASignalInTheRateChangeWaitsForIt) {
    m_dir.Write("pelican.INI", "[Last Comm State]\nBaundrate=115200\nByte=8\nStop Bit=0\nParity=0\n");
    const std::string boardLog = m_dir.File("board.err");
    CSimProcess board(PELICAN_SIM_EXE, {"--verbose"}, boardLog);
    ASSERT_FALSE(board.Path().empty());
    CProcess& program = Pelican("change", m_dir.File("run"));
    SelectPort(program, board.Path());
    const auto frames = [&] { return BoardFrames(m_dir.Read("board.err")); };
    ASSERT_TRUE(WaitFor([&] { return frames().size() >= 3; }));
    board.Hold();
    program.Signal(SIGTERM);
    EXPECT_TRUE(WaitFor([&] { return m_dir.Read("change.err").find("SIGTERM: waiting for ") != std::string::npos; }));
    board.LetGo();
    EXPECT_EQ(program.Wait(), 128 + SIGTERM);
    const std::vector<std::string> back = {"B4 (1 bytes)", "B0 (1 bytes)", "B0 (1 bytes)"};
    EXPECT_TRUE(WaitFor([&] { return LogEndsWith(frames(), back); })) << ::testing::PrintToString(frames());
    const std::vector<std::string> seen = frames();
    ASSERT_GE(seen.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(seen.begin() + 1, seen.begin() + 4),
              (std::vector<std::string>{"B0 (1 bytes)", "B4 (1 bytes)", "B4 (1 bytes)"}));
    EXPECT_NE(m_dir.Read("change.err").find("pelican: link at 9600 bps; port closed\n"), std::string::npos)
        << m_dir.Read("change.err");
}

}  // namespace
}  // namespace pelican::test
