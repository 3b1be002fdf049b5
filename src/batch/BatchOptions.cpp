#include "batch/BatchOptions.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "image/FlashFileWriter.h"

namespace pelican {

const std::vector<std::string>& BatchActionNames() {
    static const std::vector<std::string> names = {"load",    "status", "version", "setting",
                                                   "erase",   "blank",  "program", "read",
                                                   "epr",     "bpr",    "download", "dump"};
    return names;
}

bool ParseHexAddress(const std::string& text, uint32_t& address) {
    size_t pos = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    if (pos == text.size() || text.size() - pos > 8) return false;
    uint32_t value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        const int digit = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    if (value > 0xFFFFFF) return false;
    address = value;
    return true;
}

CommandLine ParseCommandLine(int argc, char** argv, BatchOptions& options, int& exitCode) {
    CLI::App cli{"Pelican programs the flash of Orca microcontrollers through their serial boot loader.\n"
                 "Without actions it opens its window; with actions it runs them without windows.",
                 "pelican"};
    cli.set_version_flag("--version", "Pelican 1.0");
    std::string target = "flash";
    cli.add_option("-p,--port", options.port, "serial port for \"Select Program\" (COM1..COM4 or a device path)");
    cli.add_option("-t,--target", target, "target of \"Select Program\"")
        ->check(CLI::IsMember({"flash", "boot"}))
        ->capture_default_str();
    cli.add_option("-f,--file", options.file, "program file loaded by the ID Check or File Select dialog");
    cli.add_option("--id", options.id, "the seven ID bytes, e.g. 01:02:03:04:05:06:07");
    cli.add_option("--mcu", options.mcu, "MCU type, overriding the one the .id file gives")
        ->check(CLI::IsMember({"sp", "w"}));
    cli.add_option("-b,--baud", options.baud, "baud rate to work at (also the answer to \"Set baudrate\")")
        ->check(CLI::PositiveNumber);
    cli.add_option("-i,--interval", options.interval, "pause between programmed pages, milliseconds")
        ->check(CLI::NonNegativeNumber);
    cli.add_option("-r,--range", options.range, "START-END typed into \"Input Address\" (hexadecimal)")
        ->check([](const std::string& range) {
            return range.find('-') == std::string::npos ? std::string("expected START-END") : std::string();
        });
    cli.add_option("-o,--output", options.output, "file the dump action writes: .mot, .s, .srec (S-records) or .bin")
        ->check([](const std::string& path) {
            return CFlashFileWriter::FormatOf(path) == CFlashFileWriter::Format::None
                       ? std::string("the name must end in .mot, .s, .srec or .bin")
                       : std::string();
        });
    std::string offset;
    cli.add_option("--offset", offset, "where a raw binary file (.bin) starts, hexadecimal (default: the flash start)")
        ->check([](const std::string& text) {
            uint32_t address = 0;
            return ParseHexAddress(text, address) ? std::string() : std::string("expected a hexadecimal address up to FFFFFF");
        });
    cli.add_flag("-y,--yes", options.yes, "answer OK to \"Erase?\", \"Program next area.\" and \"Download?\"");
    cli.add_flag("--json", options.json, "print every event as one JSON object per line on standard output");
    cli.add_flag("--simulate", options.simulate, "use the built-in simulated board instead of --port");
    cli.add_option("actions", options.actions, "buttons to press, in order")
        ->check(CLI::IsMember(BatchActionNames()));
    cli.footer("Actions: load status version setting erase blank program read epr bpr download dump\n"
               "dump reads the flash (-r, default the MCU type's flash) into the file of -o.\n"
               "Exit status: 0 all actions ended well, 1 an action was refused, failed or was\n"
               "cancelled, 2 usage error, 3 an action lost the link or it could not be recovered,\n"
               "4 another batch run holds the port, 130 interrupted.");
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        exitCode = cli.exit(error);
        if (exitCode != 0) exitCode = 2;
        return CommandLine::Exit;
    }
    options.target = target == "boot" ? 1 : 0;
    uint32_t offsetValue = 0;
    if (!offset.empty() && ParseHexAddress(offset, offsetValue)) options.offset = offsetValue;
    if (options.actions.empty()) {
        if (!options.port.empty() || !options.file.empty() || options.baud != 0) {
            std::cerr << "pelican: options without an action; name the actions to run (see --help)\n";
            exitCode = 2;
            return CommandLine::Exit;
        }
        return CommandLine::Window;
    }
    for (const auto& action : options.actions) {
        if (action == "dump" && options.output.empty()) {
            std::cerr << "pelican: dump needs the file to write (-o PATH)\n";
            exitCode = 2;
            return CommandLine::Exit;
        }
    }
    if (options.port.empty() && !options.simulate) {
        std::cerr << "pelican: --port is required unless --simulate is given\n";
        exitCode = 2;
        return CommandLine::Exit;
    }
    return CommandLine::Batch;
}

}  // namespace pelican
