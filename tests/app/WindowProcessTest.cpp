// The Linux window program as a process on an X server of its own (Xvfb,
// answered with xdotool), in real time, once: a signal ends it through its
// event loop, the link back at 9600 bps first. What the windows and the
// signals decide is tested in process; here it is the real X connection,
// the real signal and the termios rates.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <list>
#include <map>
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

// The stored rate moves the link to 115200 bps at start-up; a signal while
// the ID Check waits for the user ends the program through its event loop,
// the board brought back to 9600 bps first: its current rate's code and
// 9600's at 115200, then 9600's at 9600.
// Started where no display is named (over SSH), or where the one named
// cannot be opened: one line and the usage status, not Qt's abort.
TEST(WindowProcessWithoutDisplay, SaysThereIsNoneAndEnds) {
    const std::string line =
        "pelican: no display to show the windows on; the actions run without one (see pelican -h)\n";
    const std::map<std::string, std::string> cases[] = {
        {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}},
        {{"DISPLAY", ":987"}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", "xcb"}},
    };
    for (auto environment : cases) {
        SCOPED_TRACE(environment["DISPLAY"]);
        CTempDir dir;
        environment["XDG_RUNTIME_DIR"] = dir.Path();
        environment["XDG_CONFIG_HOME"] = dir.Path();
        CProcess::Options options;
        options.environment = EnvironmentWith(environment);
        options.err = CProcess::Stream::File(dir.File("err"));
        CProcess program({PELICAN_EXE}, options);
        EXPECT_EQ(program.Wait(), 2);
        const std::string err = dir.Read("err");
        // Qt may say first what it tried.
        ASSERT_GE(err.size(), line.size());
        EXPECT_EQ(err.substr(err.size() - line.size()), line);
    }
}

TEST_F(WindowProcess, ASignalReturnsTheLinkTo9600AndEnds) {
    m_dir.Write("pelican.INI", "[Last Comm State]\nBaundrate=115200\nByte=8\nStop Bit=0\nParity=0\n");
    // Synchronisation, the move to 115200 bps, Read Status and Clear Status.
    const std::vector<std::string> toIdCheck = {"00 00 00 00 00 00 00 00 ... (16 bytes)", "B0 (1 bytes)", "B4 (1 bytes)",
                                                "B4 (1 bytes)", "70 (1 bytes)", "50 (1 bytes)"};
    std::vector<std::string> all = toIdCheck;
    for (const char* frame : {"B4 (1 bytes)", "B0 (1 bytes)", "B0 (1 bytes)"}) all.emplace_back(frame);
    CSimProcess board(PELICAN_SIM_EXE, {"--verbose"}, m_dir.File("board.err"));
    ASSERT_FALSE(board.Path().empty());
    const auto frames = [&] { return BoardFrames(m_dir.Read("board.err")); };
    CProcess& program = Pelican("pelican", m_dir.File("run"));
    SelectPort(program, board.Path());
    ASSERT_FALSE(Window(program, "ID Check").empty()) << m_dir.Read("pelican.err") << Titles(program);
    WaitFor([&] { return LogEndsWith(frames(), toIdCheck); });
    EXPECT_EQ(frames(), toIdCheck);
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), 128 + SIGTERM);
    WaitFor([&] { return LogEndsWith(frames(), all); });
    EXPECT_EQ(frames(), all);
    EXPECT_EQ(m_dir.Read("pelican.err"),
              "pelican: SIGTERM: returning the link to 9600 bps\npelican: link at 9600 bps; port closed\n");
}

}  // namespace
}  // namespace pelican::test
