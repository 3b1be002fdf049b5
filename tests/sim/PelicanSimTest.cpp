// The stand-alone board program: it prints its terminal, serves it, takes
// RESET from Enter and SIGUSR1, and cleans up on SIGTERM.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "link/posix/PosixSerialDevice.h"
#include "link/SerialComm.h"
#include "support/Process.h"
#include "support/PtyProcess.h"
#include "support/SimBench.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

// pelican-sim with its standard input and output on pipes. memoryLimit:
// bytes of address space it may use (0: no limit); errPath: the file its
// standard error goes to (empty: this program's).
CProcess Spawn(const std::vector<std::string>& args, rlim_t memoryLimit = 0, const std::string& errPath = "") {
    std::vector<std::string> argv{PELICAN_SIM_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    CProcess::Options options;
    options.in = CProcess::Stream::Pipe();
    options.out = CProcess::Stream::Pipe();
    options.err = errPath.empty() ? CProcess::Stream::Inherit() : CProcess::Stream::File(errPath);
    options.memoryLimit = memoryLimit;
    return CProcess(argv, options);
}

TEST(PelicanSim, HelpAndBadOptions) {
    CProcess help = Spawn({"--help"});
    ASSERT_TRUE(help.Started());
    EXPECT_NE(help.ReadOut().find("Usage: pelican-sim"), std::string::npos);
    EXPECT_EQ(help.Wait(), 0);
    CProcess bad = Spawn({"--type", "z"});
    ASSERT_TRUE(bad.Started());
    EXPECT_EQ(bad.Wait(), 2);
}

TEST(PelicanSim, SrecFileThatIsNoOrdinaryFileEndsItAtOnce) {
    // A pipe nobody writes to must not hold the board (and SIGTERM) up, and an
    // endless device must not eat memory: both are refused before anything
    // is served. The memory limit keeps a faulty build from hurting the machine.
    CTempDir dir;
    const std::string fifo = dir.File("pipe.mot");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.Path()}) {
        CProcess child = Spawn({"--srec", path}, rlim_t{1} << 30);
        ASSERT_TRUE(child.Started());
        EXPECT_EQ(child.ReadOut(true), "") << path;  // no terminal was served
        EXPECT_EQ(child.Wait(), 1) << path;
    }
}

TEST(PelicanSim, ServesItsTerminalTakesResetAndEndsCleanly) {
    CTempDir dir;
    const std::string link = dir.File("orca");
    CProcess child = Spawn({"--type", "w", "--version-text", "SIMTEST1", "--link", link}, 0, dir.File("err"));
    ASSERT_TRUE(child.Started());
    const std::string path = child.ReadOut(true);
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
    child.Signal(SIGUSR1);
    expectReset("SIGUSR1", 1);
    ASSERT_EQ(::write(child.In(), "\n", 1), 1);
    expectReset("Enter", 2);

    child.Signal(SIGTERM);
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    // The terminal went with it: the host sees a dead line, not a time-out.
    uint8_t byte = 0;
    EXPECT_EQ(port.Receive(&byte, 1), 0);
    EXPECT_EQ(port.m_timedOut, 0);
}

TEST(PelicanSim, InTheBackgroundOfAShellItLeavesTheTerminalToTheForeground) {
    // "pelican-sim --link PATH &" under job control: a read of the terminal
    // from the background stops the whole program (SIGTTIN), its link with
    // it. Brought to the foreground, it reads the terminal for RESET again.
    CTempDir dir;
    const std::string link = dir.File("orca");
    const std::string go = dir.File("go");
    ASSERT_EQ(::mkfifo(go.c_str(), 0600), 0);
    CPtyProcess shell({"/bin/sh", "-mc",
                       std::string(PELICAN_SIM_EXE) + " --link " + link + " & echo \"pid $!\"; read go < " + go +
                           "; fg %1"},
                      dir.Path());
    ASSERT_TRUE(shell.WaitFor("pid "));
    ASSERT_TRUE(shell.WaitFor("/dev/pts/"));
    const std::string terminal = shell.Terminal();
    const pid_t sim = static_cast<pid_t>(std::stol(terminal.substr(terminal.find("pid ") + 4)));
    // Typed while nobody in the foreground reads: the board leaves it there.
    shell.Type("\n");
    CSerialComm port(std::make_unique<CPosixSerialDevice>(), RealClock());
    ASSERT_EQ(port.Open(link), 1);
    port.SetState(CSerialCommState(9600, 8, 0, 0));
    port.SetReadTimeout(1000);
    EXPECT_EQ(Exchange(port, Bytes(16, 0x00), 1), Bytes{0xB0});
    EXPECT_EQ(shell.Terminal().find("pelican-sim: RESET"), std::string::npos);
    // "fg": the Enter waiting on the terminal is read as RESET.
    std::ofstream(go) << "go\n";
    EXPECT_TRUE(shell.WaitFor("pelican-sim: RESET"));
    port.Close();
    ::kill(sim, SIGTERM);
    EXPECT_EQ(shell.Exit(), 0);
}

}  // namespace
}  // namespace pelican::test
