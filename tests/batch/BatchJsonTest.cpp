// --json: every line batch mode prints is one JSON object that a strict
// JSON reader takes back, with the fields a production script needs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "station/JsonLine.h"
#include "support/BatchBench.h"
#include "support/StrictJson.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

// Each line read by the JSON reader and written back as "event key=value
// ..." with the keys sorted and the time (and the rate it gives) left out; empty, with a failure,
// when a line is not a JSON object with an event. Every event names the
// board's port, COM1 here: checked, then left out too.
std::string Parsed(const std::string& lines) {
    std::string parsed;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        nlohmann::json value;
        std::string error;
        if (!ParseJson(line, value, error) || !value.is_object() || !value.contains("event")) {
            ADD_FAILURE() << (error.empty() ? "not an event: " + line : error);
            return std::string();
        }
        EXPECT_EQ(value["port"], "COM1") << line;
        parsed += Show(value["event"]);
        for (const auto& [key, field] : value.items())
            if (key != "event" && key != "port" && key != "ms" && key != "bytes_per_s") parsed += " " + key + "=" + Show(field);
        parsed += "\n";
    }
    return parsed;
}

TEST(BatchJson, StatusVersionReportsAndExit) {
    CBatchBench bench;
    EXPECT_EQ(bench.Run({"--json", "status", "version"}), 0);
    EXPECT_EQ(bench.m_err, "");  // the account of the link comes as events too
    EXPECT_EQ(Parsed(bench.m_out),
              "report text=port COM1\n"
              "report text=link up at 9600 bps\n"
              "status After block=Right Check sum=Not match Data receive timeout=Right Erase=Right "
              "ID Check=Not yet Over number of data=Right Program=Right Ready=Ready\n"
              "version text=VER.1.00\n"
              "report text=link returned to 9600 bps; port closed\n"
              "exit outcome=ok status=0\n")
        << bench.m_out;
}

TEST(BatchJson, PhasesMessagesAndAFailedEnd) {
    CBatchBench bench;
    bench.m_sim.Board().Poke(0x0C0105, {0x7F});
    WriteProgramFiles(bench.m_dir);
    EXPECT_EQ(bench.Run({"--json", "-f", bench.m_dir.File("prog.mot"), "blank", "-r", "C1000-C11FF"}), 0);
    EXPECT_NE(Parsed(bench.m_out)
                  .find("phase action=blank end=0C11FF outcome=done pages=2 start=0C1000 title=Blank Check\n"
                        "report text=0C1000-0C11FF is blank\n"),
              std::string::npos)
        << bench.m_out;
    EXPECT_EQ(bench.Run({"--json", "-f", bench.m_dir.File("prog.mot"), "blank", "-r", "C0000-C01FF"}), 1);
    const std::string parsed = Parsed(bench.m_out);
    // The message's own line break travels inside the JSON string.
    EXPECT_NE(bench.m_out.find("{\"event\":\"message\",\"port\":\"COM1\",\"icon\":\"none\",\"text\":\"Find not blank at address"),
              std::string::npos);
    EXPECT_NE(parsed.find("0C0105\n"
                          "phase action=blank end=0C01FF outcome=failed pages=2 start=0C0000 title=Blank Check\n"),
              std::string::npos)
        << parsed;
    EXPECT_NE(parsed.find("exit outcome=failed status=1\n"), std::string::npos) << parsed;
}

TEST(BatchJson, TimeOfAPhaseIsOnThePortsClock) {
    CBatchBench bench;
    WriteProgramFiles(bench.m_dir);
    EXPECT_EQ(bench.Run({"--json", "-f", bench.m_dir.File("prog.mot"), "blank", "-r", "C0000-C0FFF"}), 0);
    const size_t at = bench.m_out.find("\"ms\":");
    ASSERT_NE(at, std::string::npos) << bench.m_out;
    // 16 page reads of 256 bytes at 9600 bps take well over a second of wire time.
    EXPECT_GT(std::atoi(bench.m_out.c_str() + at + 5), 4000) << bench.m_out;
}

TEST(JsonLine, EscapesWhatJsonCannotCarry) {
    EXPECT_EQ(CJsonLine::Quote("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\u000ad\\u0001\"");
    EXPECT_EQ(CJsonLine::Quote("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
    EXPECT_EQ(CJsonLine::Quote("bad\xFF\xC3"), "\"bad\\ufffd\\ufffd\"");
    EXPECT_EQ(CJsonLine("x").Add("n", int64_t{-3}).Add("b", true).Text(), "{\"event\":\"x\",\"n\":-3,\"b\":true}");
    // What the writer escapes, the reader takes back byte for byte.
    nlohmann::json value;
    std::string error;
    const std::string text = "tab\tquote\"back\\slash\x01\x1B[2J caf\xC3\xA9";
    ASSERT_TRUE(ParseJson(CJsonLine("x").Add("t", text).Text(), value, error)) << error;
    EXPECT_EQ(value["t"], text);
    // A key given twice in any one object would pass a reader that keeps the
    // last; the same key in two objects is no repeat.
    const std::pair<const char*, bool> cases[] = {{"{\"a\":1,\"a\":2}", false},
                                                  {"{\"a\":{\"b\":1,\"c\":[{\"b\":2,\"b\":3}]}}", false},
                                                  {"{\"a\":{\"a\":1},\"b\":[{\"a\":1},{\"a\":1}]}", true}};
    for (const auto& [json, good] : cases) EXPECT_EQ(ParseJson(json, value, error), good) << json;
}

}  // namespace
}  // namespace pelican::test
