// The record of each board (--log) and its serial number (--serial-number)
// in whole runs against the simulated board: the number's bytes in the
// program frame and in the flash, the counter file after a good and after
// a failing board, the record's fields read back by a strict JSON reader,
// and what is refused before anything is sent or erased.
#include <gtest/gtest.h>

#include <sstream>

#include "support/BatchBench.h"
#include "support/IdFileText.h"
#include "support/ProgramFiles.h"
#include "support/StrictJson.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

namespace pelican::test {
namespace {

// The program records' SHA-256 as sha256sum gives it.
const char* const kImageDigest = "c27261a1d6bea50e4fa5a23acc5d43bae6cafa610fcffe38a0f02ea9a18904a2";

// A bench with the program file, a counter and a log in a folder shared
// between boards, and the record's time and host fixed.
struct Line {
    CTempDir shared;
    explicit Line(const std::string& counter = "17\n") {
        shared.Write("counter", counter);
        WriteProgramFiles(shared);
    }
    std::string File() const { return shared.File("prog.mot"); }
    std::string Log() const { return shared.File("line.jsonl"); }
    std::string Serial(const std::string& placeAndFormat) const {
        return placeAndFormat + ":" + shared.File("counter");
    }
    int Run(CBatchBench& bench, std::vector<std::string> args) const {
        bench.m_setup = [](CBatchRunner& runner) {
            runner.m_boardRecord.m_recordTime = [] { return std::string("2026-12-09T10:42:07+01:00"); };
            runner.m_boardRecord.m_recordHost = [] { return std::string("station-3"); };
        };
        return bench.Run(args);
    }
    // The log's lines, each read back (a line that is not one JSON object
    // fails): the runs' records, or the lines that say a number was taken.
    std::vector<nlohmann::json> Records(bool taken = false) const {
        std::vector<nlohmann::json> records;
        std::istringstream in(shared.Read("line.jsonl"));
        for (std::string line; std::getline(in, line);) {
            nlohmann::json value;
            std::string error;
            EXPECT_TRUE(ParseJson(line, value, error)) << error;
            EXPECT_TRUE(value.is_object()) << line;
            if (value.contains("taken") == taken) records.push_back(value);
        }
        return records;
    }
    std::vector<nlohmann::json> Taken() const { return Records(true); }
};

std::vector<std::vector<uint8_t>> ProgramFrames(CBatchBench& bench) {
    std::vector<std::vector<uint8_t>> frames;
    for (const auto& frame : bench.m_sim.Board().Frames())
        if (frame.bytes.at(0) == 0x41) frames.push_back(frame.bytes);
    return frames;
}

// "key=value ..." of an object's fields, in key order.
std::string Fields(const nlohmann::json& object) {
    std::string text;
    for (const auto& [key, value] : object.items()) text += (text.empty() ? "" : " ") + key + "=" + Show(value);
    return text;
}

TEST(BatchRecord, ANumberedBoardIsProgrammedReadBackAndRecorded) {
    Line line;
    CBatchBench bench;
    PortInfo adapter;
    adapter.path = CanonicalPortName("COM1");
    adapter.usb = true;
    adapter.serialNumber = "A6008isP";
    bench.m_ports.ports.push_back(adapter);
    EXPECT_EQ(line.Run(bench, {"-f", line.File(), "-y", "--log", line.Log(), "--serial-number",
                               line.Serial("C0100:le32"), "epr", "status", "version"}),
              0)
        << bench.m_out << bench.m_err;
    EXPECT_NE(bench.m_err.find("serial number 17 at 0C0100-0C0103 (le32: 11 00 00 00)\n"), std::string::npos)
        << bench.m_err;
    // The number's page went out like the file's own, and is in the flash.
    const auto frames = ProgramFrames(bench);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(std::vector<uint8_t>(frames[1].begin(), frames[1].begin() + 8),
              (std::vector<uint8_t>{0x41, 0x01, 0x0C, 0x11, 0x00, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0100, 5), (std::vector<uint8_t>{0x11, 0x00, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 2), (std::vector<uint8_t>{0x11, 0x22}));
    EXPECT_EQ(line.shared.Read("counter"), "18\n");

    // The number's trace came first, before anything was erased.
    EXPECT_EQ(line.shared.Read("line.jsonl").rfind(
                  R"({"time":"2026-12-09T10:42:07+01:00","host":"station-3","port":"COM1","usb_serial":"A6008isP",)"
                  R"("taken":{"value":17,"address":"0C0100","format":"le32","bytes":"11000000"}})"
                  "\n",
                  0),
              0u);
    const auto records = line.Records();
    ASSERT_EQ(records.size(), 1u);
    auto record = records[0];
    EXPECT_EQ(record["time"], "2026-12-09T10:42:07+01:00");
    EXPECT_EQ(record["host"], "station-3");
    EXPECT_EQ(record["port"], "COM1");
    EXPECT_EQ(record["usb_serial"], "A6008isP");
    EXPECT_EQ(record["file"], line.File());
    EXPECT_EQ(record["sha256"], kImageDigest);
    ASSERT_EQ(record["ranges"].size(), 2u);
    EXPECT_EQ(Fields(record["ranges"][0]),
              "action=epr due=2 end=0C01FF outcome=done pages=2 start=0C0000 title=Program");
    EXPECT_EQ(Fields(record["ranges"][1]),
              "action=epr due=2 end=0C01FF outcome=done pages=2 start=0C0000 title=Read check.");
    const auto& actions = record["actions"];
    ASSERT_EQ(actions.size(), 3u);
    std::string names;
    for (auto action : actions) {
        names += Show(action["action"]) + ":" + Show(action["outcome"]) + " ";
        EXPECT_TRUE(action["ms"].is_number());
    }
    EXPECT_EQ(names, "epr:done status:done version:done ");
    // Two 40 ms pauses between pages at least, on the port's clock.
    EXPECT_GE(actions[0].at("ms"), 80);
    EXPECT_EQ(record["version"], "VER.1.00");
    ASSERT_EQ(record["status"].size(), 2u);
    EXPECT_EQ(record["status"][0], 128);  // ready, no failure bits
    EXPECT_EQ(Fields(record["serial"]), "address=0C0100 bytes=11000000 format=le32 value=17");
    EXPECT_EQ(record["outcome"], "ok");
    EXPECT_EQ(record["exit"], 0);
}

TEST(BatchRecord, AFailingBoardUsesItsNumberUpAndTheNextBoardGetsTheNext) {
    Line line;
    sim::BoardConfig failing;
    failing.faults.programFailPage = 0x0C0100;
    CBatchBench bad(failing);
    EXPECT_EQ(line.Run(bad, {"-f", line.File(), "-y", "--log", line.Log(), "--serial-number",
                             line.Serial("C0100:be16"), "epr"}),
              1);
    EXPECT_EQ(line.shared.Read("counter"), "18\n");
    CBatchBench good;
    EXPECT_EQ(line.Run(good, {"-f", line.File(), "-y", "--log", line.Log(), "--serial-number",
                              line.Serial("C0100:be16"), "epr"}),
              0)
        << good.m_err;
    EXPECT_EQ(line.shared.Read("counter"), "19\n");
    EXPECT_EQ(good.m_sim.Board().Peek(0x0C0100, 2), (std::vector<uint8_t>{0x00, 0x12}));
    auto records = line.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Fields(records[0]["serial"]), "address=0C0100 bytes=0011 format=be16 value=17");
    EXPECT_EQ(records[0]["outcome"], "failed");
    EXPECT_EQ(records[0]["exit"], 1);
    EXPECT_EQ(records[0]["actions"].at(0)["outcome"], "failed");
    EXPECT_EQ(Fields(records[1]["serial"]), "address=0C0100 bytes=0012 format=be16 value=18");
    EXPECT_EQ(records[1]["outcome"], "ok");
    auto taken = line.Taken();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0]["taken"]["value"], 17);
    EXPECT_EQ(taken[1]["taken"]["value"], 18);
}

TEST(BatchRecord, SkippingEmptyPagesStillProgramsTheNumbersPage) {
    Line line("42\n");
    CBatchBench bench;
    EXPECT_EQ(line.Run(bench, {"-f", line.File(), "-y", "--skip-empty-pages", "--serial-number",
                               line.Serial("C0180:ascii6"), "bpr", "-r", "C0000-C3FFF"}),
              0)
        << bench.m_err;
    const auto frames = ProgramFrames(bench);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(std::vector<uint8_t>(frames[1].begin(), frames[1].begin() + 3), (std::vector<uint8_t>{0x41, 0x01, 0x0C}));
    EXPECT_EQ(std::vector<uint8_t>(frames[1].begin() + 3 + 0x7F, frames[1].begin() + 3 + 0x87),
              (std::vector<uint8_t>{0xFF, 0x30, 0x30, 0x30, 0x30, 0x34, 0x32, 0xFF}));
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0180, 6), (std::vector<uint8_t>{'0', '0', '0', '0', '4', '2'}));
    EXPECT_EQ(line.shared.Read("counter"), "43\n");
}

TEST(BatchRecord, TheNumberReplacesTheFilesBytesAndSaysSo) {
    Line line("258\n");
    CBatchBench bench;
    EXPECT_EQ(line.Run(bench, {"-f", line.File(), "-y", "--serial-number", line.Serial("C0000:le16"), "epr"}), 0)
        << bench.m_err;
    EXPECT_NE(bench.m_err.find("the serial number replaces the file's bytes 11 22 at 0C0000-0C0001\n"),
              std::string::npos)
        << bench.m_err;
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 3), (std::vector<uint8_t>{0x02, 0x01, 0xFF}));
}

TEST(BatchRecord, RefusedBeforeAnythingIsErasedAndTheCounterLeftAsItWas) {
    const struct {
        const char* name;
        std::string counter;  // "": no counter file
        std::string place;
        std::vector<std::string> actions;
        int status;
        std::string told;
        bool sent;  // whether the port was opened at all
    } cases[] = {
        {"value too large", "65536\n", "C0100:le16", {"epr"}, 7,
         "serial number 65536 does not fit le16 (0 to 65535): the counter file COUNTER is left as it is", false},
        {"ascii overflow", "1000\n", "C0100:ascii3", {"epr"}, 7,
         "serial number 1000 does not fit ascii3 (0 to 999): the counter file COUNTER is left as it is", false},
        {"garbage", "twelve\n", "C0100:le16", {"epr"}, 7, "the counter file COUNTER holds \"twelve?\", not a number",
         false},
        {"outside the flash", "17\n", "BFFFE:le32", {"epr"}, 1,
         "the serial number's place 0BFFFE-0C0001 lies outside the flash of Orca/S P (0C0000 to 0FFFFF)", true},
        {"over the ID", "17\n", "FFFDE:le16", {"epr"}, 1,
         "the serial number's place 0FFFDE-0FFFDF covers the ID location 0FFFDF of Orca/S P", true},
        {"range without it", "17\n", "C1000:le16", {"bpr", "-r", "C0000-C0FFF"}, 2,
         "the range 0C0000-0C0FFF does not hold the serial number's place 0C1000-0C1001", false},
    };
    for (const auto& c : cases) {
        Line line(c.counter);
        CBatchBench bench;
        std::vector<std::string> args = {"-f", line.File(), "-y", "--serial-number", line.Serial(c.place)};
        args.insert(args.end(), c.actions.begin(), c.actions.end());
        EXPECT_EQ(line.Run(bench, args), c.status) << c.name << ": " << bench.m_err;
        std::string told = c.told;
        if (const size_t at = told.find("COUNTER"); at != std::string::npos) told.replace(at, 7, line.shared.File("counter"));
        EXPECT_NE(bench.m_err.find(told + "\n"), std::string::npos) << c.name << ": " << bench.m_err;
        EXPECT_EQ(bench.m_sim.Board().Frames().empty(), !c.sent) << c.name;
        EXPECT_EQ(bench.m_sim.FramesOf(0xA7), 0u) << c.name;  // never erased
        EXPECT_EQ(bench.m_sim.FramesOf(0x41), 0u) << c.name;
        EXPECT_EQ(line.shared.Read("counter"), c.counter) << c.name;
    }
}

TEST(BatchRecord, AMissingCounterOrALogThatCannotBeOpenedStopsTheRunBeforeThePort) {
    Line line;
    const std::string missing = line.shared.File("no-counter");
    const struct {
        std::vector<std::string> args;
        std::string told;  // the start of the line that says why
    } cases[] = {
        {{"-f", line.File(), "-y", "--serial-number", "C0100:le16:" + missing, "epr"},
         "the counter file " + missing + " could not be opened: "},
        {{"-y", "--log", line.shared.Path(), "status"}, "the log " + line.shared.Path() + " cannot be opened: "},
    };
    for (const auto& c : cases) {
        // Not the command line's fault: a status of its own, which the
        // JSON exit event names.
        CBatchBench bench;
        EXPECT_EQ(line.Run(bench, c.args), 7);
        EXPECT_EQ(bench.m_err.rfind(c.told, 0), 0u) << bench.m_err;
        EXPECT_TRUE(bench.m_sim.Board().Frames().empty());
        std::vector<std::string> json = c.args;
        json.insert(json.begin(), "--json");
        EXPECT_EQ(line.Run(bench, json), 7);
        nlohmann::json report;
        std::string error;
        const size_t end = bench.m_out.find('\n') + 1;
        ASSERT_TRUE(ParseJson(bench.m_out.substr(0, end - 1), report, error)) << bench.m_out;
        EXPECT_EQ(Show(report["text"]).rfind(c.told, 0), 0u) << bench.m_out;
        EXPECT_EQ(bench.m_out.substr(end),
                  "{\"event\":\"exit\",\"port\":\"COM1\",\"status\":7,\"outcome\":\"log or counter unusable\"}\n");
    }
}

TEST(BatchRecord, ARunWithoutALinkIsRecordedAndUsesNoNumber) {
    Line line;
    CBatchBench bench;
    // The simulated board's device opens only as COM1.
    EXPECT_EQ(line.Run(bench, {"-p", "COM2", "-f", line.File(), "-y", "--log", line.Log(), "--serial-number",
                               line.Serial("C0100:le16"), "epr"}),
              3);
    EXPECT_EQ(line.shared.Read("counter"), "17\n");
    auto records = line.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["port"], "COM2");
    EXPECT_TRUE(records[0]["serial"].is_null());
    EXPECT_EQ(records[0]["actions"], nlohmann::json::array());
    EXPECT_EQ(records[0]["sha256"], kImageDigest);
    EXPECT_EQ(records[0]["outcome"], "no link");
    EXPECT_EQ(records[0]["exit"], 3);
}

TEST(BatchRecord, OptionsThatCannotGoTogether) {
    const struct {
        std::vector<std::string> args;
        const char* told;
    } cases[] = {
        {{"--serial-number", "C0100:le16:c", "-f", "p.mot", "status"},
         "--serial-number needs an action that programs: program, epr or bpr"},
        {{"--serial-number", "C0100:le16:c", "-f", "p.mot", "-t", "boot", "program"},
         "--serial-number needs the internal flash target (-t flash)"},
        {{"--serial-number", "C0100:le16:c", "epr"}, "--serial-number needs the program file it goes into (-f FILE)"},
        {{"--log", "l.jsonl"}, "options without an action; name the actions to run"},
        {{"--serial-number", "C0100:le8:c", "-f", "p.mot", "epr"},
         "the format must be le16, le32, be16, be32 or asciiN (N digits, 1 to 19)"},
    };
    for (const auto& c : cases) {
        CBatchBench bench;
        testing::internal::CaptureStderr();
        EXPECT_EQ(bench.Run(c.args), 2) << c.told;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.told), std::string::npos) << err;
        EXPECT_TRUE(bench.m_sim.Board().Frames().empty());
    }
}

#ifndef _WIN32
TEST(BatchRecord, ARecordThatCannotBeWrittenIsToldAndTheLogLeftWhole) {
    const struct {
        const char* name;
        size_t before;  // the log's bytes, up to the most this process may write
        bool numbered;  // with --serial-number and epr; otherwise status
        std::string told;
    } cases[] = {
        {"nothing fits", 8192, false, "the record could not be written to LOG: File too large"},
        // Part of the record would fit: what was written is cut back, or
        // the next station's record would carry on the torn line.
        {"part fits", 8100, false, "the record could not be written to LOG: File too large"},
        // The number's trace cannot be written: the number is used up, and
        // the board is not touched.
        {"no room for the number's trace", 8150, true,
         "serial number 17 was taken, but the log LOG could not be written: File too large; the board is left as "
         "it is"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Line line;
        const std::string before = std::string(c.before - 1, 'x') + "\n";
        line.shared.Write("line.jsonl", before);
        rlimit was{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
        rlimit limit = was;
        limit.rlim_cur = 8192;  // the settings file and the counter stay below it
        ::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        CBatchBench bench;
        const int status =
            line.Run(bench, c.numbered ? std::vector<std::string>{"-f", line.File(), "-y", "--log", line.Log(),
                                                                  "--serial-number", line.Serial("C0100:le16"), "epr"}
                                       : std::vector<std::string>{"-y", "--log", line.Log(), "status"});
        ::setrlimit(RLIMIT_FSIZE, &was);
        ::signal(SIGXFSZ, SIG_DFL);
        EXPECT_EQ(status, 7);
        std::string told = c.told;
        told.replace(told.find("LOG"), 3, line.Log());
        EXPECT_NE(bench.m_err.find(told + "\n"), std::string::npos) << bench.m_err;
        EXPECT_EQ(bench.m_out.substr(0, 12), c.numbered ? "" : "Ready: Ready");
        EXPECT_EQ(bench.m_sim.FramesOf(0xA7), 0u);
        EXPECT_EQ(line.shared.Read("counter"), c.numbered ? "18\n" : "17\n");
        EXPECT_TRUE(line.shared.Read("line.jsonl") == before) << line.shared.Read("line.jsonl").substr(c.before);
    }
}

// The frame that takes a run away as SIGKILL would: nothing after it is
// written, and the run's own end never comes.
struct Killed {};

TEST(BatchRecord, ARunEndedPartWayLeavesTheNumbersTraceAndWhatItDid) {
    const struct {
        const char* name;
        uint8_t code;  // the frame the run ends with
        int n;
        bool killed;  // SIGKILL; otherwise SIGTERM
        size_t pages;  // page frames sent
        std::vector<std::string> records;  // "ranges; actions; outcome exit"
    } cases[] = {
        // Killed as the board is erased: the number's trace is all there is.
        {"SIGKILL in the erase", 0xA7, 1, true, 0, {}},
        // The signal came with the second page, whose status read ends its
        // exchange: the loop ends there with two of its four pages done.
        {"SIGTERM in the second page", 0x41, 2, false, 2,
         {"action=epr due=4 end=0C03FF outcome=interrupted pages=2 start=0C0000 title=Program; epr:interrupted; "
          "signal 143"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Line line;
        CBatchBench bench;
        auto seen = std::make_shared<int>(0);
        bench.m_sim.Board().SetFrameObserver([&c, seen](const sim::SimFrame& frame) {
            if (frame.bytes[0] != c.code || ++*seen != c.n) return;
            if (c.killed) throw Killed{};
            ::raise(SIGTERM);
        });
        // The number's page C0300 makes the range four pages long.
        const std::vector<std::string> args = {"-f", line.File(), "-y", "--log", line.Log(), "--serial-number",
                                               line.Serial("C0300:le16"), "epr"};
        try {
            EXPECT_EQ(line.Run(bench, args), 143);
        } catch (const Killed&) {
            CSignalStop::Uninstall();
            EXPECT_TRUE(c.killed);
        }
        EXPECT_EQ(bench.m_sim.FramesOf(0x41), c.pages);
        EXPECT_EQ(line.shared.Read("counter"), "18\n");
        auto taken = line.Taken();
        ASSERT_EQ(taken.size(), 1u);
        EXPECT_EQ(Fields(taken[0]["taken"]), "address=0C0300 bytes=1100 format=le16 value=17");
        EXPECT_EQ(taken[0]["port"], "COM1");
        std::vector<std::string> records;
        for (auto record : line.Records()) {
            std::string text;
            for (const auto& range : record["ranges"]) text += Fields(range) + "; ";
            for (auto action : record["actions"])
                text += Show(action["action"]) + ":" + Show(action["outcome"]) + "; ";
            records.push_back(text + Show(record["outcome"]) + " " + Show(record["exit"]));
            EXPECT_EQ(Fields(record["serial"]), "address=0C0300 bytes=1100 format=le16 value=17");
        }
        EXPECT_EQ(records, c.records);
    }
}
#endif

}  // namespace
}  // namespace pelican::test
