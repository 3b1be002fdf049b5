// Batch mode in process against the simulated board on the virtual clock:
// what it prints, how it exits and what it leaves in the settings file.
#include <gtest/gtest.h>

#include <fstream>

#include "link/PortLock.h"
#include "support/BatchBench.h"
#include "support/ProgramFiles.h"
#include "sys/InstanceLock.h"

namespace pelican::test {
namespace {

constexpr const char* kFreshStatus =
    "Ready: Ready\nID Check: Not yet\nErase: Right\nProgram: Right\nAfter block: Right\n"
    "Check sum: Not match\nData receive timeout: Right\nOver number of data: Right\n";

TEST(BatchFlow, StatusAndVersionThenTheStoredRateNextTime) {
    sim::BoardConfig config;
    config.version = "ORCA 2.1";
    CBatchBench bench(config);
    EXPECT_EQ(bench.Run({"status", "version"}), 0);
    EXPECT_EQ(bench.m_out, std::string(kFreshStatus) + "Version: ORCA 2.1\n");
    EXPECT_EQ(bench.m_err, Err());

    // --baud moves the link and stores the rate; the board is back at 9600
    // afterwards, so the next start-up synchronises and restores 115200.
    EXPECT_EQ(bench.Run({"--baud", "115200", "version"}), 0);
    EXPECT_EQ(bench.m_out, "Version: ORCA 2.1\n");
    EXPECT_NE(bench.m_dir.Read("pelican.INI").find("Baundrate=115200"), std::string::npos);
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    bench.m_sim.Board().Reset();
    EXPECT_EQ(bench.Run({"version"}), 0);
    EXPECT_EQ(bench.m_out, "Version: ORCA 2.1\n");
    EXPECT_NE(bench.m_err.find("link up at 115200 bps"), std::string::npos) << bench.m_err;
}

TEST(BatchFlow, LoadPassesTheIdFromTheIdFile) {
    CBatchBench bench;
    WriteProgramFiles(bench.m_dir);
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("prog.mot"), "load", "status"}), 0);
    EXPECT_NE(bench.m_out.find("ID Check: Match\n"), std::string::npos) << bench.m_out;
}

TEST(BatchFlow, ARefusedIdFailsTheRun) {
    CBatchBench bench;
    bench.m_dir.Write("prog.mot", kProgramRecords);
    EXPECT_EQ(bench.Run({"-f", bench.m_dir.File("prog.mot"), "--id", "01:02:03:04:05:06:08", "status"}), 1);
    // Told once, with what an erased board holds.
    EXPECT_EQ(bench.m_out.substr(0, 50), "exclamation: Not match ID.\ninformation: A board er");
    EXPECT_EQ(bench.m_out.find("Not match ID.", 20), std::string::npos) << bench.m_out;
    EXPECT_NE(bench.m_out.find("ID Check: Not match\n"), std::string::npos) << bench.m_out;
}

TEST(BatchFlow, AMemoryCommandWithoutTheIdIsRefused) {
    CBatchBench bench;
    EXPECT_EQ(bench.Run({"erase", "-y"}), 1);
    EXPECT_EQ(bench.m_out, "information: Did not pass ID.\n");
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}

TEST(BatchFlow, AVersionThatDoesNotComeFailsTheRun) {
    sim::BoardConfig config;
    config.faults.silentFrom = {0xFB, 0};
    CBatchBench bench(config);
    // The board stays silent, so the return to 9600 bps at the end fails
    // too: the next run could not reach it.
    EXPECT_EQ(bench.Run({"version"}), 3);
    EXPECT_EQ(bench.m_out, "Version: ERROR\nwarning: Can not set baudrate to 9600bps.\n");
    EXPECT_NE(bench.m_err.find("the board did not confirm 9600 bps"), std::string::npos) << bench.m_err;
}

TEST(BatchFlow, AHeldPortAndAnUnusableLockFolderHaveTheirOwnStatus) {
    CBatchBench bench;
    // A batch run locks its port, not the machine: another run on COM1.
    CInstanceLock first;
    ASSERT_TRUE(first.Acquire(PortLockName("COM1")));
    EXPECT_EQ(bench.Run({"status"}), 6);
    EXPECT_EQ(bench.m_out, "stop: Another run of this program is using COM1.\n");
    first.Release();

#ifndef _WIN32  // a lock file's folder: Windows names the lock in memory
    bench.m_env.Set("XDG_RUNTIME_DIR", bench.m_dir.File("gone"));
    EXPECT_EQ(bench.Run({"status"}), 5);
    EXPECT_EQ(bench.m_out,
              "stop: Can not make the lock file in " + bench.m_dir.File("gone") + ": No such file or directory.\n");
#endif
    EXPECT_TRUE(bench.m_sim.Received().empty());
}

TEST(BatchFlow, APortThatDoesNotOpenIsToldOnceWithoutARecovery) {
    CBatchBench bench;
    EXPECT_EQ(bench.Run({"-p", "COM2", "status", "version"}), 3);
    EXPECT_EQ(bench.m_out, "");  // no "Push RESET.", no refused buttons
#ifdef _WIN32
    EXPECT_EQ(bench.m_err.rfind("port COM2\ncannot open COM2: ", 0), 0u) << bench.m_err;
#else
    EXPECT_EQ(bench.m_err, "port COM2\ncannot open COM2 (/dev/ttyS1): No such file or directory\n");
#endif
    EXPECT_TRUE(bench.m_sim.Received().empty());
    EXPECT_FALSE(std::ifstream(bench.m_dir.File("pelican.INI")).good());  // nothing was learnt about the link
}

TEST(BatchFlow, TheVersionsControlCharactersAreShownEscaped) {
    // A line break would forge a line of its own; an escape sequence would
    // clear the terminal; bytes above 0x7F are no text in the terminal's
    // encoding.
    sim::BoardConfig config;
    config.version = "\x1B[2J\nO\xE9\\";  // eight bytes
    CBatchBench bench(config);
    EXPECT_EQ(bench.Run({"version"}), 0);
    EXPECT_EQ(bench.m_out, "Version: \\x1B[2J\\nO\\xE9\\\\\n");
}

TEST(BatchFlow, ADamagedFileIsToldOnceAndLoadsOnlyWhenChecksumsAreIgnored) {
    CBatchBench bench;
    const std::string path = WriteProgramFiles(bench.m_dir, "S2060C00001122BB\nS9030000FC\n");  // one digit off: BA
    // A refused file ends the run before its actions.
    EXPECT_EQ(bench.Run({"-f", path, "status"}), 1);
    EXPECT_EQ(bench.m_out, "exclamation: Checksum error in line 1 of " + path + ". Can not accept this file.\n");

    bench.m_sim.Board().Reset();
    EXPECT_EQ(bench.Run({"--ignore-checksums", "-f", path, "status"}), 0);
    EXPECT_EQ(bench.m_out.find("Checksum"), std::string::npos) << bench.m_out;
    EXPECT_NE(bench.m_out.find("ID Check: Match\n"), std::string::npos) << bench.m_out;
}

TEST(BatchFlow, ABadRecordIsToldOnceForTheFileGiven) {
    CBatchBench bench;
    const std::string path = WriteProgramFiles(bench.m_dir, "S2060C00001122BA\nS2060C01001G22B9\nS9030000FC\n");
    EXPECT_EQ(bench.Run({"-f", path, "status"}), 1);
    EXPECT_EQ(bench.m_out, "none: Can not accept this file.\n");
}

}  // namespace
}  // namespace pelican::test
