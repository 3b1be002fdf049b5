#pragma once
// The command line of the production record: --log, --serial-number,
// --store and --report.
#include <string>

namespace CLI {
class App;
}

namespace pelican {

struct BatchOptions;

// Adds the options to the batch command line.
void AddRecordOptions(CLI::App& cli, BatchOptions& options);
// After parsing: the usage error the options make with the rest of the
// command line, or an empty text.
std::string CheckRecordOptions(const BatchOptions& options, bool listPorts);
// With --report: the usage error it makes with the rest of the command
// line (others: an option of a board's run or --list-ports), or an empty
// text.
std::string CheckReportOptions(const BatchOptions& options, bool others);

}  // namespace pelican
