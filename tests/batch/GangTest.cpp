// Several boards from one run: each port its own board, thread and link; a
// failing board among good ones ends as it would alone while the others
// finish; the exit status of the whole; every --json event names its port;
// the table the run ends with; one port given twice; the boards' lines
// drawn in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>

#include "production/GangRunner.h"
#include "link/PortLock.h"
#include "support/FrameEncoder.h"
#include "support/GangBench.h"
#include "support/GappedImage.h"
#include "support/StrictJson.h"
#include "support/ProgramFiles.h"
#include "support/UsbPort.h"
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

TEST(Gang, OutputThatCannotBeWrittenEndsEveryBoardWithOne) {
    // The boards share standard output: when it is lost, each board's run
    // ends after the action in hand, back at 9600 bps, and says so.
    CGangBench bench(2);
    bench.m_standardOutput = true;
    std::cout.setstate(std::ios::badbit);
    const int status = bench.Run({"status", "version"});
    std::cout.clear();
    EXPECT_EQ(status, 1);
    for (size_t board = 0; board < 2; ++board) {
        const std::vector<std::string> told = CGangBench::Starting(bench.m_err, "pelican: " + bench.m_ports[board] + ": ");
        for (const char* line : {"standard output could not be written: it is closed",
                                 "link returned to 9600 bps; port closed"})
            EXPECT_NE(std::find(told.begin(), told.end(), line), told.end()) << line;
        const Bytes received = bench.Sim(board).Received();
        EXPECT_EQ(std::count(received.begin(), received.end(), 0xFB), 0) << board;  // no version asked for
        EXPECT_EQ(bench.Sim(board).Board().BaudRate(), 9600u);
    }
}

TEST(Gang, ASettingsFileThatCannotBeWrittenIsToldInEachBoardsAccount) {
    CGangBench bench(2);
    const std::string path = bench.m_dir.File("pelican.INI");
    std::filesystem::create_directory(path);  // every save fails
    EXPECT_EQ(bench.Run({"-b", "19200", "status"}), 0);
    for (const std::string& port : bench.m_ports)
        EXPECT_EQ(CGangBench::Starting(bench.m_err, "pelican: " + port + ": the link settings"),
                  std::vector<std::string>{" are not saved in " + path + ": it is a folder"})
            << port;
}

TEST(Gang, ABoardWhosePortWentAwayIsToldSo) {
    // COM1's adapter is pulled out as its first page goes out: told in the
    // system's words for the call that failed.
    CGangBench bench(2, [](size_t board) {
        sim::BoardConfig config;
        if (board == 0) config.faults.unplug = {0x41, 1};
        return config;
    });
    // The boards share the settings file: one written before they start
    // keeps either from finding the other's.
    bench.m_dir.Write("pelican.INI", "[Last Comm State]\nBaundrate=9600\nByte=8\nStop Bit=0\nParity=0\n");
    EXPECT_EQ(bench.Run({"-f", WriteProgramFiles(bench.m_dir), "-y", "program"}), kExitNoLink);
    EXPECT_EQ(CGangBench::Starting(bench.m_err, "pelican: COM1: the "),
              (std::vector<std::string>{"port COM1 went away (Input/output error): the board was left as it "
                                        "was; it needs a RESET (in boot mode) before the next run; port closed"}));
    EXPECT_EQ(CGangBench::Starting(bench.m_out, "COM2: "), (std::vector<std::string>{"information: Program OK."}));
    EXPECT_EQ(bench.m_out[bench.m_out.size() - 2], "COM1  port went away        5.2");
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
        nlohmann::json value;
        std::string error;
        ASSERT_TRUE(ParseJson(line, value, error)) << line << ": " << error;
        ASSERT_TRUE(value.contains("port")) << line;
        events[Show(value["port"])].push_back(Show(value["event"]));
    }
    EXPECT_TRUE(bench.m_err.empty());  // the account comes as events too, and no table
    const std::vector<std::string> expected = {"report", "report", "status", "version", "report", "exit"};
    EXPECT_EQ(events["COM1"], expected);
    EXPECT_EQ(events["COM2"], expected);
    EXPECT_EQ(events.size(), 2u);
}

TEST(Gang, EveryBoardDumpsToAFileOfItsOwn) {
    // Each board gets its own serial number in its flash, then dumps it.
    CGangBench bench(2);
    const std::string program = WriteProgramFiles(bench.m_dir);
    bench.m_dir.Write("counter", "17\n");
    const std::string out = bench.m_dir.File("flash.bin");
    EXPECT_EQ(bench.Run({"-f", program, "-y", "--serial-number", "0C0100:le16:" + bench.m_dir.File("counter"), "epr",
                         "dump", "-r", "C0000-C01FF", "-o", out}),
              kExitDone);
    std::set<uint64_t> numbers;
    for (size_t board = 0; board < 2; ++board) {
        const Bytes flash = bench.Sim(board).Board().Peek(0x0C0000, 0x200);
        const uint64_t number = flash[0x100] | flash[0x101] << 8;
        numbers.insert(number);
        const std::string file =
            bench.m_dir.File("flash-" + bench.m_ports[board] + "-" + std::to_string(number) + ".bin");
        std::ifstream in(file, std::ios::binary);
        EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), flash) << file;
        EXPECT_EQ(CGangBench::Starting(bench.m_err, "pelican: " + bench.m_ports[board] + ": 0C0000-0C01FF saved to "),
                  std::vector<std::string>{file});
    }
    EXPECT_EQ(numbers, (std::set<uint64_t>{17, 18}));
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(Gang, OnePortGivenTwiceIsAUsageErrorBeforeAnyBoardStarts) {
    CGangBench bench(2);  // COM1 and COM2, then the -p of each case
    const std::string device = bench.m_dir.File("ttyFX0");
    bench.m_dir.Write("ttyFX0", "");
#ifndef _WIN32  // a link to the device
    std::filesystem::create_symlink(device, bench.m_dir.File("fixture0"));
#endif
    bench.m_survey = [] {
        PortSurvey survey;
        survey.ports = {UsbPort("/dev/ttyUSB0", 0x0403, 0x6001, "FX01"),
                        UsbPort("/dev/ttyUSB1", 0x0403, 0x6001, "FX02")};
        return survey;
    };
    const struct {
        std::vector<std::string> ports;
        std::string told;
    } cases[] = {
        {{"COM1"}, "the port COM1 is given twice"},
#ifdef _WIN32
        {{"com2"}, "COM2 and com2 are the same port"},
#else
        {{"/dev/ttyS1"}, "COM2 and /dev/ttyS1 are the same port"},
        {{device, bench.m_dir.File("fixture0")},
         device + " and " + bench.m_dir.File("fixture0") + " are the same port"},
#endif
        {{"usb:0403:6001:FX02", "serial:fx02"},
         "usb:0403:6001:FX02 (/dev/ttyUSB1) and serial:fx02 (/dev/ttyUSB1) are the same port"},
        {{"serial:FX01", "serial:FX01"}, "the port serial:FX01 is given twice"},
    };
    for (const auto& c : cases) {
        bench.m_err.clear();
        std::vector<std::string> args;
        for (const std::string& port : c.ports) args.insert(args.end(), {"-p", port});
        args.push_back("status");
        EXPECT_EQ(bench.Run(args), kExitUsage) << c.told;
        EXPECT_EQ(bench.m_err,
                  std::vector<std::string>{"pelican: " + c.told + ": each board needs a port of its own (see --help)"});
        EXPECT_TRUE(bench.m_out.empty()) << c.told;
        EXPECT_TRUE(bench.m_results.empty()) << c.told;
        for (size_t board = 0; board < 2; ++board) {
            EXPECT_TRUE(bench.Sim(board).Received().empty()) << c.told;
            EXPECT_EQ(bench.Gate(board).attempts, 0) << c.told;  // not even opened
        }
    }
}

TEST(Gang, EveryPageLoopThatEndsCountsItsPagesDoneOfThoseDue) {
    // COM2's page 0C0700 never takes its data: E.P.R. starts over twice,
    // then sending only the pages with data, and gives up at the same page.
    CGangBench bench(2, [](size_t board) {
        sim::BoardConfig config;
        if (board == 1) config.faults.programFailPage = 0x0C0700;
        return config;
    });
    const std::string file = WriteProgramFiles(bench.m_dir, MakeGappedFile().records + "S804000000FB\n");
    EXPECT_EQ(bench.Run({"-f", file, "-y", "-i", "0", "--retries", "2", "epr"}), kExitFailed);
    // Told as each ends, without a live display: title, pages, outcome
    // (the rate between them is the clock's).
    const auto loops = [&bench](const std::string& port) {
        std::vector<std::string> told;
        for (const std::string& line : CGangBench::Starting(bench.m_err, "pelican: " + port + ": "))
            if (const size_t rate = line.find(" KiB/s  "); rate != std::string::npos)
                told.push_back(line.substr(0, 32) + line.substr(rate + 6));
        return told;
    };
    EXPECT_EQ(loops("COM1"), (std::vector<std::string>{"Program           16/16    pages  done",
                                                       "Read check.       16/16    pages  done"}));
    EXPECT_EQ(loops("COM2"), (std::vector<std::string>{"Program            8/16    pages  failed",
                                                       "Program            5/9     pages  failed",
                                                       "Program            5/9     pages  failed"}));
}

// A console drawing in place on a terminal of the given size; everything
// it writes in one text, as the terminal receives it.
struct Screen {
    Screen(std::vector<std::string> ports, TerminalSize size) : console(std::move(ports), true, true, false) {
        console.m_out = [this](const std::string& line) { text += line + "\n"; };
        console.m_err = [this](const std::string& line) { text += line + "\n"; };
        console.m_draw = [this](const std::string& drawn) { text += drawn; };
        console.m_terminal = [size] { return size; };
    }
    CGangConsole console;
    std::string text;
};

TEST(GangConsole, LinesAreCutToTheTerminalAndTheBlockStaysAboveTheSummary) {
    Screen screen({"COM1", "/dev/ttyUSB10", "COM3"}, {30, 10});
    screen.console.Status(1, BoardStatus{"Program           12/120   pages      3.9 KiB/s", "P 12/120"}, false);
    screen.console.Out(0, "information: Program OK.");
    screen.console.Err(2, "link up at 115200 bps");
    screen.console.Finish();
    screen.console.Plain("port           outcome");
    screen.console.Plain("COM1           ok");
    const std::string block = "COM1           \x1b[K\n"
                              "/dev/ttyUSB10  Program       \x1b[K\n"
                              "COM3           \x1b[K\n";
    EXPECT_EQ(screen.text, block + "\x1b[3F\x1b[J" + "COM1: information: Program OK.\n" + block + "\x1b[3F\x1b[J" +
                               "pelican: COM3: link up at 115200 bps\n" + block +
                               "port           outcome\nCOM1           ok\n");
}

TEST(GangConsole, MoreBoardsThanLinesAreDrawnAsCells) {
    const struct {
        TerminalSize size;
        size_t before;  // the lines drawn before the last status
        std::string block;
    } cases[] = {
        {{40, 4}, 3,
         "COM1 P 12/120      COM2 waiting for \x1b[K\n"
         "COM3 R 120/120     COM4 ok\x1b[K\n"
         "COM5 failed\x1b[K\n"},
        {{40, 3}, 2,
         "COM1 P 12/120      COM2 waiting for \x1b[K\n"
         "and 3 more\x1b[K\n"},
        {{20, 4}, 3,  // a cell to a line, and not all of them
         "COM1 P 12/120\x1b[K\n"
         "COM2 waiting for \x1b[K\n"
         "and 3 more\x1b[K\n"},
        {{40, 1}, 1, "5 boards\x1b[K\n"},
        {{40, 6}, 5,  // one line each, once they fit, cut at 39 characters
         "COM1  Program           12/120   pages \x1b[K\n"
         "COM2  waiting for a board\x1b[K\n"
         "COM3  Read check.      120/120   pages \x1b[K\n"
         "COM4  ok\x1b[K\n"
         "COM5  failed\x1b[K\n"},
    };
    for (const auto& c : cases) {
        Screen screen({"COM1", "COM2", "COM3", "COM4", "COM5"}, c.size);
        screen.console.Status(0, BoardStatus{"Program           12/120   pages      3.9 KiB/s", "P 12/120"}, false);
        screen.console.Status(1, "waiting for a board", false);
        screen.console.Status(2, BoardStatus{"Read check.      120/120   pages      7.5 KiB/s", "R 120/120"}, false);
        screen.console.Status(3, "ok", false);
        screen.text.clear();
        screen.console.Status(4, "failed", false);
        EXPECT_EQ(screen.text, "\x1b[" + std::to_string(c.before) + "F\x1b[J" + c.block) << c.size.columns << "x"
                                                                                       << c.size.rows;
    }
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
    // A longer word widens its column instead of pushing the seconds out.
    EXPECT_EQ(CGangConsole::Summary({{"COM1", 7, false, 100}, {"COM2", 3, true, 800, true}}),
              (std::vector<std::string>{"port  outcome                  seconds",
                                        "COM1  log or counter unusable      0.1",
                                        "COM2  port went away               0.8"}));
}

}  // namespace
}  // namespace pelican::test
