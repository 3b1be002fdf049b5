// The first contact with the board in batch mode, in process on the virtual
// clock: a board that does not answer told in one line at once, one more
// try after a reset when a terminal is there to ask on, a board that does
// not take the stored rate, --port by USB ids and serial number, and what
// stands in the way of a port (other programs, ModemManager, brltty).
#include <gtest/gtest.h>

#include <filesystem>

#include "support/BatchBench.h"
#include "support/FrameEncoder.h"
#include "support/IdFileText.h"
#include "support/ProgramFiles.h"
#include "support/UsbPort.h"

namespace pelican::test {
namespace {

const std::string kNoAnswer =
    "no answer from the board on COM1 at 9600 bps: is it powered, wired TX to RX, and started in boot mode?\n";
constexpr const char* kNotPassed =
    "Ready: Ready\nID Check: Not match\nErase: Right\nProgram: Right\nAfter block: Right\n"
    "Check sum: Not match\nData receive timeout: Right\nOver number of data: Right\n";
constexpr const char* kStatus =
    "Ready: Ready\nID Check: Not yet\nErase: Right\nProgram: Right\nAfter block: Right\n"
    "Check sum: Not match\nData receive timeout: Right\nOver number of data: Right\n";

sim::BoardConfig Silent(unsigned occurrence) {
    sim::BoardConfig config;
    config.faults.silentFrom = {0x00, occurrence};
    return config;
}

TEST(BatchFirstContact, ASilentBoardEndsAtOnceInOneLineWithoutARecovery) {
    CBatchBench bench(Silent(0));
    bench.StoreRate(19200);
    const uint64_t began = bench.m_sim.Clock().NowMs();
    EXPECT_EQ(bench.Run({"status", "version"}), 3);
    EXPECT_EQ(bench.m_out, "");  // no "Push RESET.", no rate messages, no refused buttons
    EXPECT_EQ(bench.m_err, "port COM1\n" + kNoAnswer);
    // One synchronisation and nothing after it; the stored rate stays, since
    // nothing was learnt about the link.
    EXPECT_EQ(bench.m_sim.Received(), wire::Sync());
    EXPECT_NE(bench.m_dir.Read("pelican.INI").find("Baundrate=19200"), std::string::npos);
    // The pauses after the open and of the synchronisation (50 + 50 + 16 x
    // 20 + 50 ms), the frames' line time and the standing 5000 ms wait for
    // the answer, on the virtual clock: no recovery rounds.
    EXPECT_LT(bench.m_sim.Clock().NowMs() - began, 5600u);

    EXPECT_EQ(bench.Run({"--json", "status"}), 3);
    EXPECT_EQ(bench.m_out,
              "{\"event\":\"report\",\"port\":\"COM1\",\"text\":\"port COM1\"}\n"
              "{\"event\":\"report\",\"port\":\"COM1\",\"text\":\"" + kNoAnswer.substr(0, kNoAnswer.size() - 1) + "\"}\n"
              "{\"event\":\"exit\",\"port\":\"COM1\",\"status\":3,\"outcome\":\"no link\"}\n");
}

TEST(BatchFirstContact, WhatTheLineSaysForEachWayTheSynchronisationFails) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        void (*fault)(sim::BoardConfig&);
        std::string line;
    } rows[] = {
        {"a wrong byte", {"status"},
         [](sim::BoardConfig& c) {
             c.faults.wrongReply = {0x00, 0};
             c.faults.wrongValue = 0x3F;
         },
         "the board on COM1 answered the synchronisation at 9600 bps with 3F, not B0: is it started in boot mode, "
         "and not left at another rate by an earlier run (it then needs a RESET)?\n"},
        {"a damaged character", {"status"}, [](sim::BoardConfig& c) { c.faults.lineError = {0x00, 0}; },
         "the board on COM1 answered the synchronisation at 9600 bps with a damaged character: is it started in boot "
         "mode, and not left at another rate by an earlier run (it then needs a RESET)?\n"},
        // Released with the boot-mode line off, the part runs its application.
        {"after a reset by wire", {"--reset", "rts:0,dtr:0,delay:100,dtr:1", "status"},
         [](sim::BoardConfig&) {},
         "reset by wire: rts:0,dtr:0,delay:100,dtr:1\nno answer from the board on COM1 at 9600 bps after the reset by "
         "wire (rts:0,dtr:0,delay:100,dtr:1): is it powered, wired TX to RX, and do DTR and RTS reach its RESET and "
         "boot mode pins?\n"},
    };
    for (const auto& row : rows) {
        sim::BoardConfig config;
        row.fault(config);
        CBatchBench bench(config);
        bench.m_pressReset = false;
        EXPECT_EQ(bench.Run(row.args), 3) << row.name;
        EXPECT_EQ(bench.m_out, "") << row.name;
        EXPECT_EQ(bench.m_err, "port COM1\n" + row.line) << row.name;
    }
}

TEST(BatchFirstContact, OnATerminalTheBoardIsResetOnceAndTriedAgain) {
    {
        // Silent until its RESET is pressed, which the person does at the question.
        CBatchBench bench(Silent(1));
        bench.m_interactive = true;
        bench.m_answers = {""};
        bench.m_onAnswer = [&bench] { bench.m_sim.Board().Reset(); };
        EXPECT_EQ(bench.Run({"status"}), 0) << bench.m_err;
        EXPECT_EQ(bench.m_asked, (std::vector<std::string>{
                                     "Reset the board in boot mode, then press Enter to try once more (Ctrl-D gives "
                                     "up). "}));
        EXPECT_EQ(bench.m_out, kStatus);
        EXPECT_EQ(bench.m_err, "port COM1\n" + kNoAnswer +
                                   "link up at 9600 bps\nlink returned to 9600 bps; port closed\n");
        const Bytes received = bench.m_sim.Received();
        ASSERT_GE(received.size(), 34u);
        EXPECT_EQ(Bytes(received.begin(), received.begin() + 34), wire::Cat({wire::Sync(), wire::Sync()}));
    }
    {
        // Still silent after the reset: told again, asked no more.
        CBatchBench bench(Silent(0));
        bench.m_interactive = true;
        bench.m_answers = {"", ""};
        EXPECT_EQ(bench.Run({"status"}), 3);
        EXPECT_EQ(bench.m_asked.size(), 1u);
        EXPECT_EQ(bench.m_err, "port COM1\n" + kNoAnswer + kNoAnswer);
        EXPECT_EQ(bench.m_sim.Received(), wire::Cat({wire::Sync(), wire::Sync()}));
    }
    {
        // Ctrl-D at the question: nothing more is sent.
        CBatchBench bench(Silent(0));
        bench.m_interactive = true;
        EXPECT_EQ(bench.Run({"status"}), 3);
        EXPECT_EQ(bench.m_asked.size(), 1u);
        EXPECT_EQ(bench.m_sim.Received(), wire::Sync());
    }
}

TEST(BatchFirstContact, ABoardThatDoesNotTakeTheStoredRateGoesOnAt9600) {
    sim::BoardConfig config;
    config.maxBaud = 57600;
    CBatchBench bench(config);
    bench.StoreRate(115200);
    EXPECT_EQ(bench.Run({"status"}), 0) << bench.m_err;
    EXPECT_EQ(bench.m_out, kStatus);  // no "Can not set last baudrate."
    EXPECT_EQ(bench.m_err,
              "port COM1\nthe board on COM1 did not take the stored rate of 115200 bps: going on at 9600 bps\n"
              "link up at 9600 bps\nlink returned to 9600 bps; port closed\n");
    // The rate that worked is stored: the next run does not try 115200 again.
    EXPECT_EQ(bench.m_dir.Read("pelican.INI"), "[Last Comm State]\nBaundrate=9600\nByte=8\nStop Bit=0\nParity=0\n");
    // B0 echoed, B4 not: the port stays at 9600 and confirms it.
    const Bytes received = bench.m_sim.Received();
    ASSERT_GE(received.size(), 20u);
    EXPECT_EQ(Bytes(received.begin() + 17, received.begin() + 20), (Bytes{0xB0, 0xB4, 0xB0}));
}

TEST(BatchFirstContact, ABoardLostAtTheStoredRate) {
    // The board echoes B4 and moves to 115200 bps, then says nothing more
    // until its RESET (the second B4 is the echo at the new rate).
    sim::BoardConfig config;
    config.faults.silentFrom = {0xB4, 2};
    {
        CBatchBench bench(config);
        bench.m_pressReset = false;
        bench.StoreRate(115200);
        EXPECT_EQ(bench.Run({"status"}), 3);
        EXPECT_EQ(bench.m_out, "");
        EXPECT_EQ(bench.m_err,
                  "port COM1\nthe board on COM1 took the stored rate of 115200 bps but does not answer at it: it needs a "
                  "RESET (in boot mode) before the next run, which starts at 9600 bps\n");
        EXPECT_EQ(bench.m_dir.Read("pelican.INI"), "[Last Comm State]\nBaundrate=9600\nByte=8\nStop Bit=0\nParity=0\n");
    }
    {
        // Someone to press RESET (the simulated board's button, --reset):
        // synchronised afresh, the run goes on at 9600 bps.
        CBatchBench bench(config);
        bench.StoreRate(115200);
        EXPECT_EQ(bench.Run({"status"}), 0) << bench.m_err;
        EXPECT_EQ(bench.m_out, kStatus);
        EXPECT_EQ(bench.m_err,
                  "port COM1\nthe board on COM1 took the stored rate of 115200 bps but does not answer at it: reset to "
                  "go on at 9600 bps\nlink up at 9600 bps\nlink returned to 9600 bps; port closed\n");
        EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    }
}

TEST(BatchFirstContact, PortByUsbIdsOrSerialNumber) {
    CBatchBench bench;
    bench.m_ports.ports = {UsbPort("COM1", 0x0403, 0x6001, "A1"), UsbPort("COM7", 0x0403, 0x6001, "B2"),
                           UsbPort("COM9", 0x10c4, 0xea60, "")};
    EXPECT_EQ(bench.Run({"-p", "usb:0403:6001:a1", "version"}), 0) << bench.m_err;
    EXPECT_EQ(bench.m_err.substr(0, 29), "port COM1 (usb:0403:6001:a1)\n");
    EXPECT_EQ(bench.m_out, "Version: VER.1.00\n");
    bench.m_sim.Board().Reset();
    EXPECT_EQ(bench.Run({"-p", "serial:A1", "version"}), 0) << bench.m_err;

    bench.m_sim.ClearReceived();
    EXPECT_EQ(bench.Run({"-p", "usb:0403:6001", "version"}), 3);
    EXPECT_EQ(bench.m_err,
              "2 ports match usb:0403:6001: COM1 (0403:6001, serial A1), COM7 (0403:6001, serial B2); add the serial "
              "number of the one to use (usb:VID:PID:SERIAL)\n");
    EXPECT_EQ(bench.Run({"-p", "serial:C3", "version"}), 3);
    EXPECT_EQ(bench.m_err,
              "no port matches serial:C3; USB serial ports present: COM1 (0403:6001, serial A1), COM7 (0403:6001, "
              "serial B2), COM9 (10c4:ea60)\n");
    EXPECT_TRUE(bench.m_sim.Received().empty());
    EXPECT_EQ(bench.Run({"-p", "usb:0403", "version"}), 2);  // no port name: a usage error
}

TEST(BatchFirstContact, WhatStandsInTheWayOfThePort) {
    CBatchBench bench(Silent(0));
    PortInfo held = UsbPort("COM1", 0x2341, 0x0043, "8573");
    held.driver = "cdc_acm";
    held.holders = {{"minicom", 4242}};
    bench.m_ports.ports = {held};
    bench.m_ports.modemManagerRunning = true;
    bench.m_ports.brlttyRunning = true;
    bench.m_ports.portless = {UsbPort("", 0x1a86, 0x7523, "")};
    EXPECT_EQ(bench.Run({"status"}), 3);
    const std::string mm = ModemManagerNote(held, bench.m_ports) + "\n";
    const std::string brltty = PortlessNotes(bench.m_ports).at(0) + "\n";
    EXPECT_EQ(bench.m_err, "port COM1\n" + kNoAnswer +
                               "COM1 is open in minicom (pid 4242): the board's answers may go there\n" + mm + brltty);
    EXPECT_EQ(mm.substr(0, 62), "ModemManager is running: it probes CDC-ACM ports such as COM1 ");

    // A port that does not open: the reason, then the adapter brltty took.
    EXPECT_EQ(bench.Run({"-p", "COM2", "status"}), 3);
    EXPECT_EQ(bench.m_err.substr(bench.m_err.size() - brltty.size()), brltty);
}

TEST(BatchFirstContact, AnFtdiAdapterWithItsLatencyTimerAt16MsIsToldOnce) {
    // As Windows reports it: the timer in the driver's key.
    CBatchBench bench;
    PortInfo ftdi = UsbPort("COM1", 0x0403, 0x6001, "A1");
    ftdi.friendlyName = "USB Serial Port (COM1)";
    ftdi.latencyTimerMs = 16;
    bench.m_ports.ports = {ftdi};
    EXPECT_EQ(bench.Run({"status", "version"}), 0);
    EXPECT_EQ(bench.m_err,
              "port COM1\n" + LatencyNote(ftdi) +
                  "\nlink up at 9600 bps\nlink returned to 9600 bps; port closed\n");
    bench.m_ports.ports[0].latencyTimerMs = 1;
    bench.m_sim.Board().Reset();
    EXPECT_EQ(bench.Run({"status"}), 0);
    EXPECT_EQ(bench.m_err, Err());
}

void Erased(sim::BoardConfig& config) {
    config.id = sim::IdBytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
}

// In each case the path of the folder the files are in stands for "@".
std::string InFolder(std::string text, const std::string& folder) {
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + folder.size()))
        text.replace(at, 1, folder);
    return text;
}

TEST(BatchFirstContact, WhatAFirstRunIsToldInTheWordsItNeeds) {
    // A file or a range that cannot be used is told before the port is
    // opened: nothing on the wire. The rest reach the board.
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* mot;  // prog.mot's text; none: not written
        const char* id;   // prog.id's text; none: not written
        void (*board)(sim::BoardConfig&);
        std::string out;
        std::string err;
        int status;
        bool wire;  // whether any byte went to the board
    } cases[] = {
        {"a folder", {"-f", "@/folder.mot", "load"}, nullptr, nullptr, nullptr,
         "exclamation: @/folder.mot is a folder, not a file.\n", "", 1, false},
        {"an endless device", {"-f", "/dev/zero", "-y", "epr"}, nullptr, nullptr, nullptr,
         "exclamation: /dev/zero is not a regular file.\n", "", 1, false},
        {"a file not there", {"-f", "@/gone.mot", "status"}, nullptr, nullptr, nullptr,
         "exclamation: @/gone.mot was not found.\n", "", 1, false},
        {"a bad checksum", {"-f", "@/prog.mot", "load"}, "S2060C00001122BA\nS2060C00103344BB\nS9030000FC\n", kIdFile,
         nullptr, "exclamation: Checksum error in line 2 of @/prog.mot. Can not accept this file.\n", "", 1, false},
        {"a range backwards", {"read", "-r", "C0100-C00FF"}, nullptr, nullptr, nullptr,
         "exclamation: Too small start address.\n", "", 1, false},
        {"a record shorter than its count", {"-f", "@/prog.mot", "--ignore-checksums", "load"},
         "S2060C00001122BA\nS2060C001033\nS9030000FC\n", kIdFile, nullptr, "none: Can not accept this file.\n", "", 1,
         false},
        // An E.P.R. cut off between its erase and its program: the ID went with the flash.
        {"an ID refused", {"-f", "@/prog.mot", "load", "status"}, kProgramRecords, kIdFile, Erased,
         "exclamation: Not match ID.\ninformation: A board erased since its ID was written (an E.P.R. cut off after "
         "its erase) holds FF in all seven ID bytes: try --id FF:FF:FF:FF:FF:FF:FF.\n" + std::string(kNotPassed),
         Err(), 1, true},
        {"the erased board given its ID", {"-f", "@/prog.mot", "--id", "FF:FF:FF:FF:FF:FF:FF", "load"},
         kProgramRecords, kIdFile, Erased, "", Err(), 0, true},
        {"no .id file", {"-f", "@/prog.mot", "load"}, kProgramRecords, nullptr, nullptr,
         "exclamation: Can not found the ID file.\nexclamation: No ID to check: @/prog.id was not found. Give the "
         "board's seven ID bytes with --id, e.g. --id 01:02:03:04:05:06:07.\n",
         Err(), 1, true},
        {"a rate the board cannot take", {"-b", "115200", "status"}, nullptr, nullptr,
         [](sim::BoardConfig& c) { c.maxBaud = 38400; },
         "warning: Can not set new baudrate. Baudrate is last baudrate now.\n" + std::string(kStatus),
         Err("the board on COM1 did not take -b 115200: going on at 9600 bps; below it the board may take 19200, "
             "38400 or 57600 bps, as its clock allows\n"),
         0, true},
        // Programmed as the records read, and said once.
        {"a file cut at a line boundary", {"-f", "@/prog.mot", "-y", "epr", "load"}, "S2060C00001122BA\n", kIdFile,
         nullptr,
         "warning: No S7, S8 or S9 record ends @/prog.mot: the file may be cut short. Its records were loaded as they "
         "are.\ninformation: Program OK.\n",
         Err(), 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        if (c.board != nullptr) c.board(config);
        CBatchBench bench(config);
        const std::string folder = bench.m_dir.Path();
        std::filesystem::create_directory(bench.m_dir.File("folder.mot"));
        if (c.mot != nullptr) bench.m_dir.Write("prog.mot", c.mot);
        if (c.id != nullptr) bench.m_dir.Write("prog.id", c.id);
        std::vector<std::string> args;
        for (const std::string& arg : c.args) args.push_back(InFolder(arg, folder));
        EXPECT_EQ(bench.Run(args), c.status);
        EXPECT_EQ(bench.m_out, InFolder(c.out, folder));
        EXPECT_EQ(bench.m_err, InFolder(c.err, folder));
        EXPECT_EQ(bench.m_sim.Received().empty(), !c.wire);
    }
}

}  // namespace
}  // namespace pelican::test
