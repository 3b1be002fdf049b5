#pragma once
// The command line: the window program, a batch job, the port list, or an
// answer of its own (--help, --version, a usage error).
#include "station/BatchOptions.h"

namespace pelican {

enum class CommandLine { Window, Batch, ListPorts, Report, Exit };

// Parses argv. Window: no actions (the window program, perhaps simulated).
// Batch: run the actions. ListPorts: --list-ports (perhaps with --json).
// Report: --report, a question to the --store database. Exit: --help, --version or a usage error; the
// exit status is in exitCode (2 for usage errors) and the text was printed.
CommandLine ParseCommandLine(int argc, char** argv, BatchOptions& options, int& exitCode);

}  // namespace pelican
