// Several boards from one run: each port its own board, thread and link; a
// failing board among good ones ends as it would alone while the others
// finish; the exit status of the whole; every --json event names its port;
// the table the run ends with.
#include <gtest/gtest.h>

#include "batch/GangRunner.h"
#include "link/PortLock.h"
#include "support/FrameEncoder.h"
#include "support/GangBench.h"
#include "support/JsonReader.h"
#include "support/ProgramFiles.h"
#include "sys/InstanceLock.h"

namespace pelican::test {
namespace {

TEST(Gang, AFailingBoardAmongGoodOnesEndsAloneAndTheOthersFinish) {
    CGangBench bench(3, [](size_t board) {
        sim::BoardConfig config;
        if (board == 1) config.faults.programFailPage = 0x0C0000;
        return config;
    });
    EXPECT_EQ(bench.Run({"-f", WriteProgramFiles(bench.m_dir), "-y", "program"}), kExitFailed);
    for (size_t board : {0u, 2u}) {
        EXPECT_EQ(bench.Sim(board).Board().Peek(0x0C0000, 2), (Bytes{0x11, 0x22})) << board;
        EXPECT_EQ(CGangBench::Starting(bench.m_out, bench.m_ports[board] + ": "),
                  (std::vector<std::string>{"information: Program OK."}));
    }
    EXPECT_EQ(CGangBench::Starting(bench.m_out, "COM2: "), (std::vector<std::string>{"stop: Program error."}));
    EXPECT_NE(bench.Sim(1).Board().Peek(0x0C0000, 2), (Bytes{0x11, 0x22}));
    // Each wire carried its own run from its synchronisation on, and the
    // failing board got its page program frame like the others.
    for (size_t board = 0; board < 3; ++board) {
        const Bytes received = bench.Sim(board).Received();
        ASSERT_GE(received.size(), 17u);
        EXPECT_EQ(Bytes(received.begin(), received.begin() + 17), wire::Sync()) << board;
        EXPECT_NE(std::find(received.begin(), received.end(), 0x41), received.end()) << board;
    }
    // Every account line names its board; each board returned to 9600 bps.
    for (const std::string& port : bench.m_ports)
        EXPECT_EQ(CGangBench::Starting(bench.m_err, "pelican: " + port + ": link returned").size(), 1u) << port;
    const std::vector<std::string> table(bench.m_out.end() - 4, bench.m_out.end());
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[0], "port  outcome           seconds");
    EXPECT_EQ(table[1].substr(0, 23), "COM1  ok               ");
    EXPECT_EQ(table[2].substr(0, 23), "COM2  failed           ");
    EXPECT_EQ(table[3].substr(0, 23), "COM3  ok               ");
    // Seconds on each board's own clock, to a tenth.
    for (size_t board = 0; board < 3; ++board) {
        char seconds[16];
        std::snprintf(seconds, sizeof seconds, "%8.1f", static_cast<double>(bench.m_results[board].ms) / 1000.0);
        EXPECT_EQ(table[board + 1].substr(23), seconds);
        EXPECT_GT(bench.m_results[board].ms, 1000u);  // the second after the synchronisation at least
    }
}

TEST(Gang, ABoardWhosePortWentAwayIsToldSo) {
    // COM1's adapter is pulled out as its first page goes out.
    CGangBench bench(2, [](size_t board) {
        sim::BoardConfig config;
        if (board == 0) config.faults.unplug = {0x41, 1};
        return config;
    });
    EXPECT_EQ(bench.Run({"-f", WriteProgramFiles(bench.m_dir), "-y", "program"}), kExitNoLink);
    EXPECT_EQ(CGangBench::Starting(bench.m_err, "pelican: COM1: the "),
              (std::vector<std::string>{"port COM1 went away (No such file or directory): the board was left as it "
                                        "was; it needs a RESET (in boot mode) before the next run; port closed"}));
    EXPECT_EQ(CGangBench::Starting(bench.m_out, "COM2: "), (std::vector<std::string>{"information: Program OK."}));
}

TEST(Gang, AHeldPortFailsItsBoardOnly) {
    CGangBench bench(2);
    CInstanceLock other;
#ifdef _WIN32
    ASSERT_TRUE(other.Acquire(PortLockName("\\\\.\\com2")));
#else
    ASSERT_TRUE(other.Acquire(PortLockName("/dev/ttyS1")));
#endif
    EXPECT_EQ(bench.Run({"version"}), kExitFailed);
    EXPECT_EQ(CGangBench::Starting(bench.m_out, "COM1: "), (std::vector<std::string>{"Version: VER.1.00"}));
    EXPECT_EQ(CGangBench::Starting(bench.m_out, "COM2: "),
              (std::vector<std::string>{"stop: Another run of this program is using COM2."}));
    EXPECT_TRUE(bench.Sim(1).Received().empty());
    ASSERT_EQ(bench.m_results.size(), 2u);
    EXPECT_EQ(bench.m_results[0].status, kExitDone);
    EXPECT_EQ(bench.m_results[1].status, kExitPortHeld);
    EXPECT_EQ(bench.m_out[bench.m_out.size() - 1].substr(0, 24), "COM2  port held         ");
}

TEST(Gang, EveryJsonEventNamesItsPort) {
    CGangBench bench(2);
    EXPECT_EQ(bench.Run({"--json", "status", "version"}), kExitDone);
    std::map<std::string, std::vector<std::string>> events;
    for (const std::string& line : bench.m_out) {
        JsonValue value;
        std::string error;
        ASSERT_TRUE(CJsonReader::Parse(line, value, error)) << line << ": " << error;
        ASSERT_EQ(value.fields.count("port"), 1u) << line;
        events[value.fields["port"].Show()].push_back(value.fields["event"].Show());
    }
    EXPECT_TRUE(bench.m_err.empty());  // the account comes as events too, and no table
    const std::vector<std::string> expected = {"report", "report", "status", "version", "report", "exit"};
    EXPECT_EQ(events["COM1"], expected);
    EXPECT_EQ(events["COM2"], expected);
    EXPECT_EQ(events.size(), 2u);
}

TEST(Gang, TheExitStatusOfTheWhole) {
    const auto board = [](int status, bool notAt9600 = false) { return BoardResult{"COM1", status, notAt9600, 0}; };
    const struct {
        const char* name;
        std::vector<BoardResult> boards;
        int status;
    } cases[] = {
        {"every board ok", {board(0), board(0), board(0)}, 0},
        {"one failed", {board(0), board(1), board(0)}, 1},
        {"one port did not open", {board(0), board(3)}, 1},
        {"one left not at 9600 bps", {board(1), board(3, true), board(0)}, 3},
        {"not at 9600 bps outweighs a signal", {board(130), board(3, true)}, 3},
        {"every port held", {board(6), board(6)}, 6},
        {"one port held", {board(0), board(6)}, 1},
        {"all ended by Ctrl-C", {board(130), board(130)}, 130},
        {"Ctrl-C after one board was done", {board(0), board(130)}, 130},
        {"SIGTERM and a failure", {board(1), board(143)}, 143},
        {"a gang of one ends as one run", {board(5)}, 5},
        {"a loop stopped before its first board", {}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(CGangRunner::GangStatus(c.boards), c.status) << c.name;
}

TEST(Gang, TheSummaryTable) {
    EXPECT_EQ(CGangConsole::Summary({{"/dev/ttyUSB0", 0, false, 12345},
                                     {"/dev/ttyUSB1", 3, true, 800},
                                     {"/dev/ttyUSB10", 130, false, 60000}}),
              (std::vector<std::string>{"port           outcome           seconds",
                                        "/dev/ttyUSB0   ok                   12.3",
                                        "/dev/ttyUSB1   not at 9600 bps       0.8",
                                        "/dev/ttyUSB10  interrupted          60.0"}));
}

}  // namespace
}  // namespace pelican::test
