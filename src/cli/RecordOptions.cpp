#include "cli/RecordOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "station/BatchOptions.h"
#include "station/SerialNumber.h"
#include "station/StoreReport.h"
#include "store/StoreUrl.h"

namespace pelican {

void AddRecordOptions(CLI::App& cli, BatchOptions& options) {
    cli.add_option("--log", options.log,
                   "append one JSON line per board and run to FILE (under\n"
                   "a lock, so that several runs and stations may share\n"
                   "it): time, host, port, adapter, file and its SHA-256,\n"
                   "ranges, actions, version, status, serial number,\n"
                   "outcome; with --serial-number also a \"taken\" line as\n"
                   "each number is taken")
        ->option_text("FILE");
    cli.add_option("--serial-number", options.serialNumber,
                   "give the board the next number from COUNTERFILE\n"
                   "(decimal text, taken under a lock, the next one\n"
                   "written back before the board is programmed) as\n"
                   "FORMAT le16, le32, be16, be32 or asciiN at ADDR\n"
                   "(hexadecimal), over the file's bytes there; program,\n"
                   "epr and bpr only")
        ->option_text("ADDR:FORMAT:COUNTERFILE")
        ->check([](const std::string& text) {
            CSerialNumber number;
            std::string error;
            return CSerialNumber::Parse(text, number, error) ? std::string() : error;
        });
    cli.add_option("--store", options.store,
                   "where numbers come from and records go: file: (the\n"
                   "default: --log and --serial-number's COUNTERFILE),\n"
                   "sqlite:PATH (a database file) or\n"
                   "postgresql://USER@HOST[:PORT]/DB (a line's server;\n"
                   "the password from PGPASSWORD or ~/.pgpass); in a\n"
                   "database one row per board and run, and the last\n"
                   "part of --serial-number names the counter")
        ->option_text("URL")
        ->check([](const std::string& text) {
            CStoreUrl url;
            std::string error;
            return CStoreUrl::Parse(text, url, error) ? std::string() : error;
        });
    cli.add_option("--report", options.report,
                   "answer from the --store database, with no board:\n"
                   "serial=N (or serial=NAME:N, NAME's counter only): the\n"
                   "board with that number; file=F: every board\n"
                   "programmed with F (its name as recorded, or its\n"
                   "SHA-256); yield (or yield=YYYY-MM-DD): boards,\n"
                   "passed, failed per station today (or that day)")
        ->option_text("QUESTION")
        ->check([](const std::string& text) {
            CStoreReport::Question question;
            std::string error;
            return CStoreReport::Parse(text, question, error) ? std::string() : error;
        });
}

std::string CheckReportOptions(const BatchOptions& options, bool others) {
    const bool database = !options.store.empty() && options.store != "file:";
    if (!database) return "--report needs a database: --store sqlite:PATH or postgresql://...";
    if (others || !options.actions.empty() || !options.log.empty() || !options.serialNumber.empty() ||
        options.simulate)
        return "--report takes no board, no actions and no options but --store and --json";
    return std::string();
}

std::string CheckRecordOptions(const BatchOptions& options, bool listPorts) {
    const bool given = !options.log.empty() || !options.serialNumber.empty() || !options.store.empty();
    if (given && listPorts) return "--list-ports takes no actions and no options but --json";
    if (given && options.actions.empty()) return "options without an action; name the actions to run";
    // A database keeps the records itself: a log beside it would be a
    // second record that nobody reconciles.
    if (!options.log.empty() && !options.store.empty() && options.store != "file:")
        return "--log is the file: store's; a database keeps the records itself";
    if (options.serialNumber.empty()) return std::string();
    // A number is given to a board only by programming it; any other run
    // would use one up, or leave the record claiming one the flash lacks.
    const bool programs = std::any_of(options.actions.begin(), options.actions.end(), [](const std::string& action) {
        return action == "program" || action == "epr" || action == "bpr";
    });
    if (!programs) return "--serial-number needs an action that programs: program, epr or bpr";
    if (options.target != 0) return "--serial-number needs the internal flash target (-t flash)";
    if (options.file.empty()) return "--serial-number needs the program file it goes into (-f FILE)";
    return std::string();
}

}  // namespace pelican
