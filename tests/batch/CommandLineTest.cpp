// The command line's usage errors, each told on standard error in one line.
#include <gtest/gtest.h>

#include "cli/CommandLine.h"

namespace pelican::test {
namespace {

struct Parsed {
    CommandLine kind = CommandLine::Exit;
    int exitCode = -1;
    std::string err;
    BatchOptions options;
};

Parsed Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "pelican");
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    Parsed parsed;
    testing::internal::CaptureStderr();
    parsed.kind = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), parsed.options, parsed.exitCode);
    parsed.err = testing::internal::GetCapturedStderr();
    return parsed;
}

void ExpectUsageError(const std::vector<std::string>& args, const std::string& told) {
    const Parsed parsed = Parse(args);
    EXPECT_EQ(parsed.kind, CommandLine::Exit) << args[0];
    EXPECT_EQ(parsed.exitCode, 2) << args[0];
    EXPECT_EQ(parsed.err, "pelican: " + told + " (see --help)\n") << args[0];
}

TEST(CommandLine, OptionsWithoutTheirMeaningAreUsageErrors) {
    // Without actions the window program would start and drop these without
    // a word (or, with no display, abort).
    for (const auto& lone : std::vector<std::vector<std::string>>{
             {"-i", "40"}, {"--id", "01:02:03:04:05:06:07"}, {"--mcu", "sp"}, {"-t", "flash"}, {"-y"},
             {"-r", "0C0000-0FFFFF"}, {"--ignore-checksums"}, {"-p", "COM1"}, {"-o", "flash.mot"},
             {"--offset", "C0000"}, {"--json"}, {"--reset", "dtr:0,delay:100,dtr:1"}, {"--retries", "3"},
             {"--wait"}, {"--loop"}, {"--run-after", "dtr:0,rts:0,delay:100,dtr:1"}})
        ExpectUsageError(lone, "options without an action; name the actions to run");
    EXPECT_EQ(Parse({"--simulate"}).kind, CommandLine::Window);
    // A real port would be driven while a simulated board is claimed.
    ExpectUsageError({"--simulate", "-p", "/dev/ttyUSB0", "status"}, "--simulate and --port cannot be used together");
    for (const std::string id : {"01:02:03:04:05:06", "01:02:03:04:05:06:07:08", "01020304050607", ""})
        ExpectUsageError({"-p", "COM1", "--id", id, "status"}, "--id needs seven bytes, e.g. 01:02:03:04:05:06:07");
    // Whether the bytes are hexadecimal is the ID Check dialog's to say.
    EXPECT_EQ(Parse({"-p", "COM1", "-f", "prog.mot", "--id", "01:02:03:04:05:06:GG", "status"}).kind, CommandLine::Batch);
}

TEST(CommandLine, RatesAndPausesOutOfRangeSayWhatIsAllowed) {
    for (const std::string rate : {"0", "-5", "9601", "230400", "fast"}) {
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
    for (const std::string retries : {"-1", "101", "three", "1.5"}) {
        const Parsed parsed = Parse({"-p", "COM1", "--retries", retries, "epr"});
        EXPECT_EQ(parsed.exitCode, 2) << retries;
        EXPECT_NE(parsed.err.find("--retries"), std::string::npos) << parsed.err;
    }
    const Parsed good = Parse({"-p", "COM1", "-b", "57600", "-i", "0", "--retries", "100", "status"});
    EXPECT_EQ(good.kind, CommandLine::Batch);
    EXPECT_EQ(good.options.baud, 57600u);
    EXPECT_EQ(good.options.retries, 100u);
    EXPECT_EQ(Parse({"-p", "COM1", "status"}).options.retries, 0u);
}

TEST(CommandLine, HelpNamesPortsAndEndingsAsTheSystemsUsersDo) {
    testing::internal::CaptureStdout();
    const Parsed parsed = Parse({"--help"});
    const std::string help = testing::internal::GetCapturedStdout();
    EXPECT_EQ(parsed.exitCode, 0);
#ifdef _WIN32
    EXPECT_NE(help.find("(COM1, COM5, COM12...)"), std::string::npos) << help;
    EXPECT_NE(help.find("129 the console closed or the session ended"), std::string::npos) << help;
    EXPECT_NE(help.find("143 Ctrl-Break"), std::string::npos) << help;
    EXPECT_EQ(help.find("device path"), std::string::npos) << help;
    EXPECT_EQ(help.find("SIG"), std::string::npos) << help;
#else
    EXPECT_NE(help.find("(COM1..COM4 or a device path)"), std::string::npos) << help;
    EXPECT_NE(help.find("143 SIGTERM"), std::string::npos) << help;
#endif
    // Read on an 80-column terminal: no line wraps.
    size_t from = 0;
    for (size_t end = help.find('\n'); end != std::string::npos; from = end + 1, end = help.find('\n', from))
        EXPECT_LE(end - from, 80u) << help.substr(from, end - from);
    // -i's default is shown, and each action is told in a few words.
    EXPECT_NE(help.find("(default 40)"), std::string::npos) << help;
    EXPECT_NE(help.find("  erase "), std::string::npos) << help;
}

TEST(CommandLine, TheProductionLine) {
    // Each -p takes one port; the actions still follow.
    const Parsed gang = Parse({"-p", "/dev/ttyUSB0", "-p", "/dev/ttyUSB1", "-p", "usb:0403:6001", "status"});
    EXPECT_EQ(gang.kind, CommandLine::Batch);
    EXPECT_EQ(gang.options.ports, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1", "usb:0403:6001"}));
    EXPECT_EQ(gang.options.port, "/dev/ttyUSB0");
    EXPECT_EQ(gang.options.actions, (std::vector<std::string>{"status"}));
    const Parsed loop = Parse({"-p", "COM1", "--loop", "--run-after", "dtr:0,rts:0,delay:100,dtr:1", "version"});
    EXPECT_TRUE(loop.options.wait);  // a loop waits for every board
    EXPECT_EQ(loop.options.runAfter, "dtr:0,rts:0,delay:100,dtr:1");
    // Boards one after another on one port would write the same dump file.
    ExpectUsageError({"-p", "COM1", "--loop", "-o", "flash.mot", "dump"},
                     "dump under --loop needs --serial-number: each board's file is named by its number");
    EXPECT_EQ(Parse({"-p", "COM1", "-p", "COM2", "-o", "flash.mot", "dump"}).kind, CommandLine::Batch);
    // A database keeps the records itself; a URL it cannot use is told.
    ExpectUsageError({"-p", "COM1", "--store", "sqlite:line.db", "--log", "line.jsonl", "status"},
                     "--log is the file: store's; a database keeps the records itself");
    EXPECT_EQ(Parse({"-p", "COM1", "--store", "file:", "--log", "line.jsonl", "status"}).kind, CommandLine::Batch);
    const Parsed url = Parse({"-p", "COM1", "--store", "postgresql://line:secret@db/pelican", "status"});
    EXPECT_EQ(url.exitCode, 2);
    EXPECT_NE(url.err.find("the password does not go in the URL"), std::string::npos) << url.err;
    const Parsed bad = Parse({"-p", "COM1", "--run-after", "dtr:2", "version"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("--run-after"), std::string::npos) << bad.err;
}

TEST(CommandLine, AReportAsksADatabaseAndNoBoard) {
    const Parsed report = Parse({"--store", "sqlite:line.db", "--report", "serial=widget:4711", "--json"});
    EXPECT_EQ(report.kind, CommandLine::Report);
    EXPECT_EQ(report.options.report, "serial=widget:4711");
    const struct {
        std::vector<std::string> args;
        std::string told;
    } refused[] = {
        {{"--report", "yield"}, "--report needs a database: --store sqlite:PATH or postgresql://..."},
        {{"--store", "file:", "--report", "yield"}, "--report needs a database: --store sqlite:PATH or postgresql://..."},
        {{"--store", "sqlite:line.db", "--report", "yield", "status"},
         "--report takes no board, no actions and no options but --store and --json"},
        {{"--store", "sqlite:line.db", "--report", "yield", "-p", "COM1"},
         "--report takes no board, no actions and no options but --store and --json"},
        {{"--store", "sqlite:line.db", "--report", "yield", "--simulate"},
         "--report takes no board, no actions and no options but --store and --json"},
        {{"--store", "sqlite:line.db", "--report", "yield", "--list-ports"},
         "--report takes no board, no actions and no options but --store and --json"},
        {{"--store", "sqlite:line.db", "--report", "serial=1", "--serial-number", "C0100:le32:widget"},
         "--report takes no board, no actions and no options but --store and --json"},
    };
    for (const auto& c : refused) ExpectUsageError(c.args, c.told);
    // A question it does not know says which it knows.
    for (const std::string question : {"serial", "serial=", "serial=widget:", "serial=:4", "serial=12x", "file=",
                                       "yield=10.12.2026", "yield=2026-12-1", "boards", ""}) {
        const Parsed parsed = Parse({"--store", "sqlite:line.db", "--report", question});
        EXPECT_EQ(parsed.exitCode, 2) << question;
        EXPECT_NE(parsed.err.find("--report: expected serial=N, serial=NAME:N, file=NAME, file=SHA256, yield or "
                                  "yield=YYYY-MM-DD"),
                  std::string::npos)
            << question << ": " << parsed.err;
    }
}

}  // namespace
}  // namespace pelican::test
