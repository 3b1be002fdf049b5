// The "setting" action and -i, the Orca/W defaults of --mcu w, and how each
// way a run can end is named in the last JSON line: in process, on the
// simulated board and the virtual clock.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

#include "support/BatchBench.h"
#include "support/FrameEncoder.h"
#include "support/StrictJson.h"
#include "support/ProgramFiles.h"

namespace pelican::test {
namespace {

using wire::Cat;
using wire::Sync;

TEST(BatchSetting, TheActionPressesSettingAndAnswersSetBaudrateFromTheOptions) {
    CBatchBench bench;
    EXPECT_EQ(bench.Run({"-b", "57600", "setting"}), 0);
    EXPECT_EQ(bench.m_out, "");
    // Start-up at 9600 bps; the run moves to 57600 bps first (probe, B0 at
    // 9600, B3 at 9600, B3 at 57600, status); the action then asks for the
    // rate in force: its code twice and once more after the port setting.
    EXPECT_EQ(bench.m_sim.Received(), Cat({Sync(),
                                           {0x70, 0x50},
                                           {0x70, 0xB0, 0xB3, 0xB3, 0x70},
                                           {0x70, 0xB3, 0xB3, 0xB3, 0x70},
                                           {0xB3, 0xB0, 0xB0}}));
    EXPECT_EQ(bench.m_dir.Read("pelican.INI"), "[Last Comm State]\nBaundrate=57600\nByte=8\nStop Bit=0\nParity=0\n");
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}

TEST(BatchSetting, TheActionAtTheRateInForceStoresIt) {
    CBatchBench bench;
    bench.StoreRate(19200);
    EXPECT_EQ(bench.Run({"setting"}), 0);
    EXPECT_EQ(bench.m_sim.Received(), Cat({Sync(),
                                           {0xB0, 0xB1, 0xB1, 0x70, 0x50},
                                           {0x70, 0xB1, 0xB1, 0xB1, 0x70},
                                           {0xB1, 0xB0, 0xB0}}));
    EXPECT_EQ(bench.m_dir.Read("pelican.INI"), "[Last Comm State]\nBaundrate=19200\nByte=8\nStop Bit=0\nParity=0\n");
}

// The pause from the end of each Page program frame on the line to the
// status read after it, in whole milliseconds.
std::vector<long> ProgramPauses(CBatchBench& bench) {
    std::vector<long> pauses;
    const auto frames = bench.m_sim.Board().Frames();
    for (size_t i = 0; i + 1 < frames.size(); ++i) {
        if (frames[i].bytes[0] != 0x41 || frames[i + 1].bytes != Bytes{0x70}) continue;
        // The status read's one byte takes 10 bits at 9600 bps to arrive.
        const double gapUs = static_cast<double>(frames[i + 1].timeUs - frames[i].timeUs) - 10e6 / 9600;
        pauses.push_back(static_cast<long>(gapUs / 1000));
    }
    return pauses;
}

TEST(BatchSetting, TheIntervalIsThePauseAfterEveryProgrammedPage) {
    const struct {
        std::vector<std::string> args;
        long pause;
    } cases[] = {
        {{}, 40},  // unless changed
        {{"-i", "7"}, 7},
        {{"-i", "0"}, 0},
        {{"-i", "120"}, 120},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pause);
        CBatchBench bench;
        WriteProgramFiles(bench.m_dir);
        std::vector<std::string> args = {"-f", bench.m_dir.File("prog.mot"), "-y", "program", "-r", "C0000-C02FF"};
        args.insert(args.begin(), c.args.begin(), c.args.end());
        EXPECT_EQ(bench.Run(args), 0);
        EXPECT_EQ(bench.m_out, "information: Program OK.\n");
        EXPECT_EQ(ProgramPauses(bench), (std::vector<long>{c.pause, c.pause, c.pause}));
        EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 3), (Bytes{0x11, 0x22, 0xFF}));
    }
}

TEST(BatchSetting, OrcaWPlacesABinaryFileAtF00000AndDumpsItsWholeFlash) {
    sim::BoardConfig config;
    config.type = sim::DeviceType::OrcaW;
    CBatchBench bench(config);
    bench.m_dir.Write("prog.bin", std::string("\x5A\xA5\x01", 3));
    EXPECT_EQ(bench.Run({"-b", "115200", "--mcu", "w", "--id", "01:02:03:04:05:06:07", "-f",
                         bench.m_dir.File("prog.bin"), "-y", "program", "-r", "F00000-F000FF"}),
              0)
        << bench.m_out << bench.m_err;
    EXPECT_EQ(bench.m_out, "information: Program OK.\n");
    EXPECT_EQ(bench.m_sim.Board().Peek(0xF00000, 4), (Bytes{0x5A, 0xA5, 0x01, 0xFF}));
    // The ID went to the Orca/W ID area.
    const Bytes wire = bench.m_sim.Received();
    const Bytes idFrame = {0xF5, 0xDF, 0xFF, 0xFF, 0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    EXPECT_NE(std::search(wire.begin(), wire.end(), idFrame.begin(), idFrame.end()), wire.end());

    // Without -r, dump reads F00000 to FFFFFF.
    EXPECT_EQ(bench.Run({"--json", "-b", "115200", "--mcu", "w", "--id", "01:02:03:04:05:06:07", "-f",
                         bench.m_dir.File("prog.bin"), "dump", "-o", bench.m_dir.File("flash.bin")}),
              0)
        << bench.m_out;
    EXPECT_NE(bench.m_out.find("\"action\":\"dump\",\"title\":\"Read flash\",\"start\":\"F00000\",\"end\":\"FFFFFF\""),
              std::string::npos)
        << bench.m_out;
    const std::string flash = bench.m_dir.Read("flash.bin");
    ASSERT_EQ(flash.size(), 0x100000u);
    EXPECT_EQ(flash.substr(0, 4), std::string("\x5A\xA5\x01\xFF", 4));
}

// The fields of the last line of standard output, read as JSON.
std::map<std::string, std::string> ExitEvent(const std::string& out) {
    std::map<std::string, std::string> fields;
    const size_t end = out.find_last_not_of('\n');
    if (end == std::string::npos) return fields;
    const size_t begin = out.rfind('\n', end);
    const std::string line = out.substr(begin == std::string::npos ? 0 : begin + 1, end + 1 - (begin == std::string::npos ? 0 : begin + 1));
    nlohmann::json value;
    std::string error;
    if (!ParseJson(line, value, error)) {
        ADD_FAILURE() << error;
        return fields;
    }
    for (const auto& [key, field] : value.items()) fields[key] = Show(field);
    return fields;
}

struct EndCase {
    const char* name;
    std::function<void(CBatchBench&)> arrange;
    std::vector<std::string> args;
    int status;
    std::string outcome;
};

void RunToItsEnd(const EndCase& c) {
    SCOPED_TRACE(c.name);
    CBatchBench bench;
    WriteProgramFiles(bench.m_dir);
    bench.m_sim.Board().Poke(0x0C0000, {0x11, 0x22});
    c.arrange(bench);
    std::vector<std::string> args = {"--json", "-f", bench.m_dir.File("prog.mot")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(bench.Run(args), c.status) << bench.m_out;
    const auto fields = ExitEvent(bench.m_out);
    EXPECT_EQ(fields.count("event") ? fields.at("event") : "", "exit") << bench.m_out;
    EXPECT_EQ(fields.count("status") ? fields.at("status") : "", std::to_string(c.status));
    EXPECT_EQ(fields.count("outcome") ? fields.at("outcome") : "", c.outcome);
}

TEST(BatchSetting, NoLinkAndNoLockAreNamedInTheExitEvent) {
    const EndCase cases[] = {
        {"a board that does not answer",
         [](CBatchBench& bench) {
             sim::BoardConfig config;
             config.faults.silentFrom = {0x00, 1};
             bench.m_sim.Board().SetFaults(config.faults);
         },
         {"status"}, 3, "no link"},
        {"a runtime folder that is not there",
         [](CBatchBench& bench) { bench.m_env.Set("XDG_RUNTIME_DIR", bench.m_dir.File("gone")); }, {"status"}, 5, "no lock"},
    };
    for (const auto& c : cases) RunToItsEnd(c);
}

// A signal's run, each in a test of its own: ctest runs each in its own
// process, as the program's runs are.
TEST(BatchSettingInterrupted, CtrlCTwiceIsNamedInTheExitEvent) {
    RunToItsEnd({"Ctrl-C twice in a page loop", [](CBatchBench& bench) { bench.m_sim.RaiseAt(0xFF, 2, SIGINT, 2); },
                 {"read", "-r", "C0000-C0FFF"}, 130, "interrupted"});
}

TEST(BatchSettingSignal, SigtermIsNamedInTheExitEvent) {
    RunToItsEnd({"SIGTERM in a page loop", [](CBatchBench& bench) { bench.m_sim.RaiseAt(0xFF, 2, SIGTERM); },
                 {"read", "-r", "C0000-C0FFF"}, 143, "signal"});
}

}  // namespace
}  // namespace pelican::test
