// The command line: what starts the window program, what runs batch mode,
// and the usage errors, each told on standard error in one line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/BatchOptions.h"

namespace pelican::test {
namespace {

struct Parsed {
    CommandLine kind;
    int exitCode;
    std::string err;
    BatchOptions options;
};

Parsed Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "pelican");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    Parsed parsed{CommandLine::Exit, -1, {}, {}};
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    parsed.kind = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), parsed.options, parsed.exitCode);
    testing::internal::GetCapturedStdout();
    parsed.err = testing::internal::GetCapturedStderr();
    return parsed;
}

TEST(CommandLine, OptionsThatNeedAnActionAreUsageErrorsWithoutOne) {
    // Without actions the window program starts, and it would drop every one
    // of these without a word (or, without a display, abort).
    const std::vector<std::vector<std::string>> lone = {
        {"-i", "40"}, {"--id", "01:02:03:04:05:06:07"}, {"--mcu", "sp"}, {"-t", "boot"}, {"-t", "flash"},
        {"-y"},       {"-r", "0C0000-0FFFFF"},         {"--ignore-checksums"}, {"-p", "COM1"}, {"-f", "prog.mot"},
        {"-b", "9600"}};
    for (const auto& args : lone) {
        const Parsed parsed = Parse(args);
        EXPECT_EQ(parsed.kind, CommandLine::Exit) << args[0];
        EXPECT_EQ(parsed.exitCode, 2) << args[0];
        EXPECT_EQ(parsed.err, "pelican: options without an action; name the actions to run (see --help)\n") << args[0];
    }
    EXPECT_EQ(Parse({}).kind, CommandLine::Window);
    EXPECT_EQ(Parse({"--simulate"}).kind, CommandLine::Window);
    EXPECT_EQ(Parse({"-i", "40", "-y", "-t", "boot", "-p", "COM1", "status"}).kind, CommandLine::Batch);
}

TEST(CommandLine, SimulateWithAPortIsRefused) {
    // A real port would be driven while a simulated board is claimed.
    for (const auto& args : std::vector<std::vector<std::string>>{{"--simulate", "-p", "/dev/ttyUSB0", "status"},
                                                                   {"--port", "COM2", "--simulate", "version"},
                                                                   {"--simulate", "-p", "COM1"}}) {
        const Parsed parsed = Parse(args);
        EXPECT_EQ(parsed.kind, CommandLine::Exit);
        EXPECT_EQ(parsed.exitCode, 2);
        EXPECT_EQ(parsed.err, "pelican: --simulate and --port cannot be used together (see --help)\n");
    }
    const Parsed simulated = Parse({"--simulate", "status"});
    EXPECT_EQ(simulated.kind, CommandLine::Batch);
    EXPECT_TRUE(simulated.options.port.empty());
}

TEST(CommandLine, IdNeedsSevenBytesAndBaudOneOfTheFiveRates) {
    for (const std::string id : {"01:02:03:04:05:06", "01:02:03:04:05:06:07:08", "01020304050607", ""}) {
        const Parsed parsed = Parse({"-p", "COM1", "--id", id, "status"});
        EXPECT_EQ(parsed.exitCode, 2) << id;
        EXPECT_EQ(parsed.err, "pelican: --id needs seven bytes, e.g. 01:02:03:04:05:06:07 (see --help)\n") << id;
    }
    // Whether the bytes are hexadecimal is the ID Check dialog's to say.
    EXPECT_EQ(Parse({"-p", "COM1", "--id", "01:02:03:04:05:06:GG", "status"}).kind, CommandLine::Batch);

    for (const std::string rate : {"0", "-5", "9601", "230400", "1e6", "fast"}) {
        const Parsed parsed = Parse({"-p", "COM1", "-b", rate, "status"});
        EXPECT_EQ(parsed.exitCode, 2) << rate;
        EXPECT_NE(parsed.err.find("9600, 19200, 38400, 57600 or 115200"), std::string::npos) << parsed.err;
        EXPECT_LT(parsed.err.size(), 200u) << parsed.err;  // no range of hundreds of digits
    }
    for (const std::string ms : {"-1", "1e308", "forty"}) {
        const Parsed parsed = Parse({"-p", "COM1", "-i", ms, "status"});
        EXPECT_EQ(parsed.exitCode, 2) << ms;
        EXPECT_LT(parsed.err.size(), 200u) << parsed.err;
    }
    const Parsed good = Parse({"-p", "COM1", "-b", "57600", "-i", "0", "status"});
    EXPECT_EQ(good.kind, CommandLine::Batch);
    EXPECT_EQ(good.options.baud, 57600u);
    EXPECT_EQ(good.options.interval, 0);
}

TEST(CommandLine, HelpListsEveryExitStatus) {
    std::vector<std::string> args = {"pelican", "--help"};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    BatchOptions options;
    int exitCode = -1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ParseCommandLine(2, argv.data(), options, exitCode), CommandLine::Exit);
    const std::string help = testing::internal::GetCapturedStdout();
    EXPECT_EQ(exitCode, 0);
    for (const char* status : {"0 every action", "1 an action", "2 usage", "3 the port", "4 another copy",
                               "5 the lock file", "129 SIGHUP", "130 Ctrl-C", "141 closed output", "143 SIGTERM",
                               "--ignore-checksums"})
        EXPECT_NE(help.find(status), std::string::npos) << status;
}

}  // namespace
}  // namespace pelican::test
