// Batch mode as the real executable, in real time, once each way it meets
// the system: on a terminal of its own (its controlling terminal) against
// pelican-sim on another, a person typing; and on its built-in board with
// standard error into a pipe. Everything these runs decide is tested in
// process on the virtual clock; here it is the terminal, the signals the
// line discipline makes, the termios rates and the processes themselves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/IdFileText.h"
#include "support/PtyProcess.h"
#include "support/SRecordText.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

constexpr const char* kClosed = "pelican: link returned to 9600 bps; port closed\n";

// The program file of pages from 0C0000 with its ID beside it.
std::string ProgramFile(const CTempDir& dir, size_t bytes) {
    dir.Write("prog.mot", SRecordText(0x0C0000, PatternBytes(bytes)));
    dir.Write("prog.id", kIdFile);
    return dir.File("prog.mot");
}

// What the terminal shows from text on (text included); empty without it.
std::string From(const std::string& terminal, const std::string& text) {
    const size_t at = terminal.find(text);
    return at == std::string::npos ? std::string() : terminal.substr(at);
}

// A person at the terminal: the reset by wire a terminal cannot give, the
// question answered with y, the bar drawn over itself, then Ctrl-C in the
// page interval. The run stops and the board is back at 9600 bps.
TEST(BatchOnATerminal, PromptBarAndCtrlCAgainstABoardOnItsOwnTerminal) {
    CTempDir dir;
    CSimProcess board(PELICAN_SIM_EXE, {"--verbose"}, dir.File("board.log"));
    ASSERT_FALSE(board.Path().empty());
    // Three pages two seconds apart: Ctrl-C comes while the loop runs.
    CPtyProcess pelican({PELICAN_EXE, "-p", board.Path(), "-f", ProgramFile(dir, 0x300), "-b", "115200", "-i", "2000",
                         "--reset", "dtr:0,delay:50,dtr:1", "program"},
                        dir.Path());
    const std::string question = "Program next area. 0C0000 to 0C02FF? [y/N] ";
    ASSERT_TRUE(pelican.WaitFor(question)) << pelican.Terminal();
    pelican.Type("y\n");
    ASSERT_TRUE(pelican.WaitFor("\rProgram [")) << pelican.Terminal();
    pelican.Type("\x03");
    EXPECT_EQ(pelican.Exit(), 130);
    const std::string terminal = pelican.Terminal();
    // A pseudo-terminal has no modem lines: told, and the run goes on.
    EXPECT_NE(terminal.find("pelican: reset by wire failed: DTR: Inappropriate ioctl for device\n"), std::string::npos)
        << terminal;
    EXPECT_NE(terminal.find(question + "y\n"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("\rProgram [#########.....................]  33%  1 page "), std::string::npos) << terminal;
    EXPECT_EQ(From(terminal, "information: Stop programming."), "information: Stop programming.\n" + std::string(kClosed))
        << terminal;
    // Fewer pages than the file's three, and the last frames bring the board
    // from 115200 back to 9600 bps: the rate in force, 9600's, confirmed.
    const std::vector<std::string> back = {"B4 (1 bytes)", "B0 (1 bytes)", "B0 (1 bytes)"};
    EXPECT_TRUE(WaitFor([&] { return LogEndsWith(BoardFrames(dir.Read("board.log")), back); }))
        << dir.Read("board.log");
    const std::vector<std::string> frames = BoardFrames(dir.Read("board.log"));
    size_t pages = 0;
    for (const std::string& frame : frames) pages += frame.rfind("41 ", 0) == 0 ? 1 : 0;
    EXPECT_GE(pages, 1u);
    EXPECT_LT(pages, 3u) << ::testing::PrintToString(frames);
}

// The built-in board of --simulate, standard error into a pipe: no bar and
// no carriage return there, the run's lines as they are.
TEST(BatchSimulated, ProgramsTheBuiltInBoardWithNoBarIntoAPipe) {
    CTempDir dir;
    CPtyProcess pelican({PELICAN_EXE, "--simulate", "-f", ProgramFile(dir, 0x200), "-y", "program"}, dir.Path(),
                        CPtyProcess::Error::ToPipe);
    EXPECT_EQ(pelican.Exit(), 0);
    EXPECT_EQ(pelican.Terminal(), "information: Program OK.\n");
    const std::string piped = pelican.Pipe();
    EXPECT_EQ(piped.find('\r'), std::string::npos) << piped;
    EXPECT_EQ(From(piped, "pelican: link up"), "pelican: link up at 9600 bps\n" + std::string(kClosed));
}

}  // namespace
}  // namespace pelican::test
