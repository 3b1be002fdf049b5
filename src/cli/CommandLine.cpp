#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>

#include "app/Version.h"
#include "cli/HelpText.h"
#include "cli/RecordOptions.h"
#include "image/FlashFileWriter.h"
#include "link/PortSelector.h"
#include "link/ResetSequence.h"
#include "protocol/Protocol.h"

namespace pelican {

namespace {

// Why text is no DTR/RTS sequence; empty when it is one.
std::string ResetSequenceError(const std::string& text) {
    CResetSequence sequence;
    std::string error;
    return CResetSequence::Parse(text, sequence, error) ? std::string() : error;
}

// --wait, --loop and --run-after.
void AddLineOptions(CLI::App& cli, BatchOptions& options) {
    cli.add_flag("--wait", options.wait,
                 "wait (quietly, trying every second) for the port to\n"
                 "appear and the board to answer, then run the actions");
    cli.add_flag("--loop", options.loop,
                 "after each board, wait for it to go (port gone or no\n"
                 "answer) and for the next one, until Ctrl-C, which ends\n"
                 "after the board in hand (implies --wait)");
    cli.add_option("--run-after", options.runAfter,
                   "DTR/RTS changes (as for --reset) that start the\n"
                   "application after a run that ended well; not after a\n"
                   "failed one")
        ->option_text("SEQUENCE")
        ->check(ResetSequenceError);
}

// The names a user of each system gives ports and endings.
#ifdef _WIN32
constexpr const char* kPortHelp =
    "serial port of \"Select Program\" (COM1, COM5, COM12...),\n"
    "or the one present adapter that usb:VID:PID,\n"
    "usb:VID:PID:SERIAL or serial:SERIAL names; given again,\n"
    "each port is one board of a gang, all programmed at once";
#else
constexpr const char* kPortHelp =
    "serial port of \"Select Program\"\n"
    "(COM1..COM4 or a device path), or the one present\n"
    "adapter that usb:VID:PID, usb:VID:PID:SERIAL or\n"
    "serial:SERIAL names; given again, each port is one\n"
    "board of a gang, all programmed at once";
#endif

// "START-END": one to eight hexadecimal digits on each side, nothing else.
// The dialog would read any other character as the digit 0, a blank
// included, and take an empty side as no range at all; how large a value
// may be is the dialog's to tell.
bool IsRangeText(const std::string& range) {
    const size_t dash = range.find('-');
    if (dash == std::string::npos) return false;
    const auto hex = [](const std::string& text) {
        return !text.empty() && text.size() <= 8 && std::all_of(text.begin(), text.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        });
    };
    return hex(range.substr(0, dash)) && hex(range.substr(dash + 1));
}

CommandLine UsageError(const std::string& text, int& exitCode) {
    std::cerr << "pelican: " << text << " (see --help)\n";
    exitCode = kExitUsage;
    return CommandLine::Exit;
}

// "HH:HH:...": the number of bytes given; whether each is hexadecimal is
// the ID Check dialog's to judge, as for a typed ID.
size_t IdByteCount(const std::string& id) {
    return id.empty() ? 0 : static_cast<size_t>(std::count(id.begin(), id.end(), ':')) + 1;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv, BatchOptions& options, int& exitCode) {
    CLI::App cli{"Pelican programs the flash of Orca microcontrollers through their serial\n"
                 "boot loader. Without actions it opens its window; with actions it runs them\n"
                 "without windows.",
                 "pelican"};
    cli.set_version_flag("--version", std::string("Pelican ") + kPelicanVersion, "show the version and end");
    std::string target = "flash";
    // The rates the boot loader knows: "Set baudrate" offers no others.
    const CLI::Validator baudRates(
        [](std::string& value) -> std::string {
            for (const uint32_t rate : {9600u, 19200u, 38400u, 57600u, 115200u})
                if (value == std::to_string(rate)) return std::string();
            return "must be 9600, 19200, 38400, 57600 or 115200";
        },
        "RATE");
    const CLI::Validator milliseconds(
        [](std::string& value) -> std::string {
            const bool digits = !value.empty() && value.size() <= 9 &&
                                std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
            return digits ? std::string() : "must be a number of milliseconds (0 to 999999999)";
        },
        "MS");
    // A malformed usb: or serial: selector is a usage error, told before anything is opened.
    cli.add_option("-p,--port", options.ports, kPortHelp)
        ->option_text("PORT")
        ->allow_extra_args(false)  // one port each time: the actions follow
        ->check([](const std::string& text) {
            CPortSelector selector;
            std::string error;
            return CPortSelector::Parse(text, selector, error) ? std::string() : error;
        });
    auto* targetOption = cli.add_option("-t,--target", target,
                                        "target of \"Select Program\": the internal flash, or\n"
                                        "the boot loader's RAM (download); default flash")
                             ->option_text("flash|boot")
                             ->check(CLI::IsMember({"flash", "boot"}));
    cli.add_option("-f,--file", options.file,
                   "program file (.mot, .s, .srec, .btp, .hex, .bin) that\n"
                   "the ID Check or File Select dialog loads; its ID is\n"
                   "read from the .id file beside it")
        ->option_text("FILE");
    auto* idOption = cli.add_option("--id", options.id,
                                    "the board's seven ID bytes, when no .id file gives\n"
                                    "them: e.g. 01:02:03:04:05:06:07")
                         ->option_text("ID");
    auto* mcuOption = cli.add_option("--mcu", options.mcu, "MCU type, over the one the .id file gives")
                          ->option_text("sp|w")
                          ->check(CLI::IsMember({"sp", "w"}));
    cli.add_option("-b,--baud", options.baud,
                   "baud rate to work at: 9600, 19200, 38400, 57600 or\n"
                   "115200 (the answer to \"Set baudrate\")")
        ->option_text("RATE")
        ->check(baudRates);
    auto* intervalOption =
        cli.add_option("-i,--interval", options.interval,
                       "pause after each programmed page, milliseconds\n"
                       "(default " + std::to_string(protocol::kDefaultProgramInterval) + ")")
            ->option_text("MS")
            ->check(milliseconds);
    auto* rangeOption =
        cli.add_option("-r,--range", options.range, "START-END typed into \"Input Address\" (hexadecimal)")
            ->option_text("START-END")
            ->check([](const std::string& range) {
                return IsRangeText(range) ? std::string()
                                          : std::string("expected START-END in hexadecimal, e.g. C0000-C0FFF");
            });
    auto* outputOption =
        cli.add_option("-o,--output", options.output,
                       "file the dump action writes: .mot, .s, .srec\n"
                       "(S-records) or .bin; with several -p or --loop one per\n"
                       "board, the port and serial number in its name\n"
                       "(flash-ttyUSB0.mot, flash-ttyUSB0-1042.mot)")
            ->option_text("FILE")
            ->check([](const std::string& path) {
                return CFlashFileWriter::FormatOf(path) == CFlashFileWriter::Format::None
                           ? std::string("the name must end in .mot, .s, .srec or .bin")
                           : std::string();
            });
    std::string offset;
    auto* offsetOption =
        cli.add_option("--offset", offset,
                       "where a raw binary file (.bin) starts, hexadecimal\n"
                       "(default the flash start)")
            ->option_text("ADDR")
            ->check([](const std::string& text) {
                uint32_t address = 0;
                return ParseHexAddress(text, address) ? std::string()
                                                      : std::string("expected a hexadecimal address up to FFFFFF");
            });
    auto* yesOption =
        cli.add_flag("-y,--yes", options.yes,
                     "answer OK to \"Erase?\", \"Program next area.\" and\n"
                     "\"Download?\"");
    auto* checksumOption = cli.add_flag("--ignore-checksums", options.ignoreChecksums,
                                        "load a file even when record checksums do not match\n"
                                        "(a damaged file is refused otherwise; S-records and\n"
                                        "Intel HEX alike)");
    auto* skipOption = cli.add_flag(
        "--skip-empty-pages", options.skipEmptyPages,
        "program, epr and bpr send, and read and their\n"
        "read-backs read, only the pages of the range that hold\n"
        "file data. Given up: a page of FF is not sent, so\n"
        "program without an erase before it can no longer find\n"
        "a page that was not erased, and epr's read-back no\n"
        "longer reads the pages left out (bpr's blank check\n"
        "still reads the whole range)");
    auto* resetOption =
        cli.add_option("--reset", options.reset,
                       "DTR/RTS changes that reset the board into boot mode\n"
                       "(e.g. dtr:0,rts:1,delay:100,dtr:1), done at start-up\n"
                       "and for every \"Push RESET.\"")
            ->option_text("SEQUENCE")
            ->check(ResetSequenceError);
    auto* retriesOption =
        cli.add_option("--retries", options.retries,
                       "after a failed exchange in a page loop, recover (Push\n"
                       "RESET.), pass the ID again and go on from the page\n"
                       "that failed, up to N (0 to 100) times a run (default\n"
                       "0); only after a reset that happened (--reset, Enter\n"
                       "on a terminal, --simulate); dump reads each page until\n"
                       "two reads agree, up to N+1 reads")
            ->option_text("N")
            ->check(CLI::Range(0u, 100u));
    auto* jsonOption = cli.add_flag("--json", options.json,
                                    "print every event as one JSON object per line on\n"
                                    "standard output");
    cli.add_flag("--simulate", options.simulate, "use the built-in simulated board (not with --port)");
    auto* listOption = cli.add_flag("--list-ports", options.listPorts,
                                    "list the serial ports with what identifies them (USB\n"
                                    "ids, maker, product, serial number) and the programs\n"
                                    "that have them open; no actions");
    AddLineOptions(cli, options);
    AddRecordOptions(cli, options);
    cli.add_option("actions", options.actions, "pressed in order, as listed below")
        ->option_text("ACTION...")
        ->check(CLI::IsMember(BatchActionNames()));
    SetHelpTexts(cli);
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        exitCode = cli.exit(error);
        if (exitCode != 0) exitCode = kExitUsage;
        return CommandLine::Exit;
    }
    if (!options.ports.empty()) options.port = options.ports.front();
    if (options.loop) options.wait = true;
    options.target = target == "boot" ? 1 : 0;
    uint32_t offsetValue = 0;
    if (!offset.empty() && ParseHexAddress(offset, offsetValue)) options.offset = offsetValue;
    // The simulated board brings its own terminal; a port named as well
    // would be a real one, talked to while a simulated board is claimed.
    if (options.simulate && !options.port.empty())
        return UsageError("--simulate and --port cannot be used together", exitCode);
    if (idOption->count() > 0 && IdByteCount(options.id) != 7)
        return UsageError("--id needs seven bytes, e.g. 01:02:03:04:05:06:07", exitCode);
    // Every option but --simulate belongs to the actions; without them the
    // window program would start and silently drop it.
    const bool batchOnly = !options.port.empty() || !options.file.empty() || options.baud != 0 ||
                           idOption->count() > 0 || mcuOption->count() > 0 || targetOption->count() > 0 ||
                           intervalOption->count() > 0 || rangeOption->count() > 0 || yesOption->count() > 0 ||
                           checksumOption->count() > 0 || outputOption->count() > 0 || offsetOption->count() > 0 ||
                           resetOption->count() > 0 || skipOption->count() > 0 || retriesOption->count() > 0 ||
                           options.wait || options.loop || !options.runAfter.empty();
    if (!options.report.empty()) {
        if (const std::string error = CheckReportOptions(options, batchOnly || listOption->count() > 0);
            !error.empty())
            return UsageError(error, exitCode);
        return CommandLine::Report;
    }
    if (const std::string error = CheckRecordOptions(options, listOption->count() > 0); !error.empty())
        return UsageError(error, exitCode);
    if (listOption->count() > 0) {
        // Only --json changes what the list is.
        if (batchOnly || options.simulate || !options.actions.empty())
            return UsageError("--list-ports takes no actions and no options but --json", exitCode);
        return CommandLine::ListPorts;
    }
    if (options.actions.empty()) {
        if (batchOnly || jsonOption->count() > 0)
            return UsageError("options without an action; name the actions to run", exitCode);
        return CommandLine::Window;
    }
    for (const auto& action : options.actions) {
        if (action == "dump" && options.output.empty())
            return UsageError("dump needs the file to write (-o PATH)", exitCode);
        // Board after board on one port: only a number tells their files apart.
        if (action == "dump" && options.loop && options.serialNumber.empty())
            return UsageError("dump under --loop needs --serial-number: each board's file is named by its number",
                              exitCode);
        if (action == "load" && options.file.empty())
            return UsageError("load needs the program file (-f FILE)", exitCode);
    }
    // The ID is typed into the dialog that loads the file: without one
    // there is nothing to check it for.
    if (idOption->count() > 0 && options.file.empty())
        return UsageError("--id needs the program file it belongs to (-f FILE)", exitCode);
    if (options.port.empty() && !options.simulate)
        return UsageError("--port is required unless --simulate is given", exitCode);
    return CommandLine::Batch;
}

}  // namespace pelican
