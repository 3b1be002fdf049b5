// Batch mode end to end: the pelican executable over a pseudo-terminal
// against pelican-sim, with real time. Runs on boards of their own go side
// by side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/SRecordText.h"
#include "support/SideBySide.h"
#include "support/TempDir.h"

namespace pelican::test {
namespace {

ProgramResult Pelican(const CTempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), PELICAN_EXE);
    return RunProgram(args, dir);
}

// The board of a run, telling every frame it took (--verbose) into the
// folder's board.log: a run that fails shows what went over the wire.
class CLoggedBoard {
public:
    CLoggedBoard(const CTempDir& dir, std::vector<std::string> options)
        : m_dir(dir), m_sim(PELICAN_SIM_EXE, Verbose(std::move(options)), dir.File("board.log")) {}
    const std::string& Path() const { return m_sim.Path(); }
    // Everything the run and the board said, for a failure's message.
    std::string Told(const ProgramResult& result) const {
        return "pelican said:\n" + result.err + "the board took:\n" + m_dir.Read("board.log");
    }

private:
    static std::vector<std::string> Verbose(std::vector<std::string> options) {
        options.push_back("--verbose");
        return options;
    }
    const CTempDir& m_dir;
    CSimProcess m_sim;
};

void StatusAndVersionAt9600ThenAtTheStoredRate() {
    SCOPED_TRACE("status and version at 9600 bps, then at the stored rate");
    CTempDir dir;
    CLoggedBoard sim(dir, {"--version-text", "ORCA 2.1"});
    ASSERT_FALSE(sim.Path().empty());
    ProgramResult first = Pelican(dir, {"-p", sim.Path(), "status", "version"});
    EXPECT_EQ(first.status, 0) << sim.Told(first);
    EXPECT_EQ(first.out,
              "Ready: Ready\nID Check: Not yet\nErase: Right\nProgram: Right\nAfter block: Right\n"
              "Check sum: Not match\nData receive timeout: Right\nOver number of data: Right\n"
              "Version: ORCA 2.1\n");

    // --baud moves the link and stores the rate; the board is back at 9600
    // afterwards, so the next start-up synchronises and restores 115200.
    ProgramResult faster = Pelican(dir, {"-p", sim.Path(), "--baud", "115200", "version"});
    EXPECT_EQ(faster.status, 0) << sim.Told(faster);
    EXPECT_EQ(faster.out, "Version: ORCA 2.1\n");
    EXPECT_NE(dir.Read("pelican.INI").find("Baundrate=115200"), std::string::npos);
    ProgramResult again = Pelican(dir, {"-p", sim.Path(), "version"});
    EXPECT_EQ(again.status, 0) << sim.Told(again);
    EXPECT_EQ(again.out, "Version: ORCA 2.1\n");
}

void EraseThenBlankCheckAndANotBlankByte() {
    SCOPED_TRACE("erase, then blank check, and a byte that is not blank");
    CTempDir dir;
    dir.Write("prog.mot", "S2060C00001122BA\nS9030000FC\n");
    dir.Write("prog.id", "FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n");
    dir.Write("board.mot", "S2050C01057F69\nS804000000FB\n");
    CLoggedBoard sim(dir, {"--srec", dir.File("board.mot"), "--id", "01:02:03:04:05:06:07"});
    ASSERT_FALSE(sim.Path().empty());
    ProgramResult before = Pelican(dir, {"-p", sim.Path(), "-f", dir.File("prog.mot"), "blank", "-r", "C0000-C01FF"});
    EXPECT_EQ(before.status, 1) << sim.Told(before);
    EXPECT_EQ(before.out, "none: Find not blank at address 0C0105\n");
    ProgramResult after =
        Pelican(dir, {"-p", sim.Path(), "-f", dir.File("prog.mot"), "-y", "erase", "blank", "-r", "C0000-C01FF"});
    EXPECT_EQ(after.status, 0) << sim.Told(after);
    EXPECT_EQ(after.out, "information: Erase OK.\n");
}

void BootProgramDownloadOnTheBootLoaderTarget() {
    SCOPED_TRACE("boot program download on the boot-loader target");
    CTempDir dir;
    // Two pages from 0000: the header frame, one more page, and the answer.
    dir.Write("boot.btp", "S1130000000102030405060708090A0B0C0D0E0F74\nS11301F0F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF83\n");
    CLoggedBoard sim(dir, {"--type", "w", "--no-id-check"});
    ASSERT_FALSE(sim.Path().empty());
    ProgramResult result = Pelican(dir, {"-p", sim.Path(), "-t", "boot", "-f", dir.File("boot.btp"), "-y", "download"});
    EXPECT_EQ(result.status, 0) << sim.Told(result);
    EXPECT_EQ(result.out, "none: Download Completed.\n");
}

void RoundTripEprOfA4KiBFileThenReadAt115200() {
    SCOPED_TRACE("round trip: erase, program and read check of a 4 KiB file, then a read at 115200 bps");
    CTempDir dir;
    // No FF in the data: the read check compares every byte of the range.
    // Starting in the middle of a page, the file touches 17 pages, the first
    // and the last only in part; the erase is short. The flows themselves
    // are covered on the virtual clock: this run is the executables over a
    // real terminal at the fast rate.
    dir.Write("prog.mot", SRecordText(0x0C0080, PatternBytes(0x1000)));
    dir.Write("prog.id", "FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n");
    CLoggedBoard sim(dir, {"--erase-ms", "300"});
    ASSERT_FALSE(sim.Path().empty());
    const std::vector<std::string> common = {"-p", sim.Path(), "-f", dir.File("prog.mot"), "-b", "115200"};
    std::vector<std::string> epr = common;
    epr.insert(epr.end(), {"-y", "epr"});
    const ProgramResult programmed = Pelican(dir, epr);
    EXPECT_EQ(programmed.status, 0) << sim.Told(programmed);
    EXPECT_EQ(programmed.out, "information: Program OK.\n");
    std::vector<std::string> read = common;
    read.insert(read.end(), {"read", "-r", "C0000-C10FF"});
    const ProgramResult verified = Pelican(dir, read);
    EXPECT_EQ(verified.status, 0) << sim.Told(verified);
    EXPECT_EQ(verified.out, "");
}

TEST(Batch, StatusVersionEraseBlankDownloadAndARoundTripSideBySide) {
    SideBySide({StatusAndVersionAt9600ThenAtTheStoredRate, EraseThenBlankCheckAndANotBlankByte,
                BootProgramDownloadOnTheBootLoaderTarget, RoundTripEprOfA4KiBFileThenReadAt115200});
}

TEST(Batch, UsageErrors) {
    CTempDir dir;
    EXPECT_EQ(Pelican(dir, {"status"}).status, 2);                       // no port
    EXPECT_EQ(Pelican(dir, {"-p", "COM1", "fly"}).status, 2);            // no such action
    EXPECT_EQ(Pelican(dir, {"-p", "COM1"}).status, 2);                   // options without action
    EXPECT_EQ(Pelican(dir, {"-p", "COM1", "-t", "eeprom", "status"}).status, 2);
    EXPECT_EQ(Pelican(dir, {"--version"}).status, 0);
}

}  // namespace
}  // namespace pelican::test
