// Feeds arbitrary command lines to batch mode's parser: the input split at
// zero bytes is the argument list. Whatever it holds, the parser must end in
// one of its three answers, with a usage status for the refusals, and never
// hand on options it did not check.
#include <cstdint>
#include <iostream>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        // Help and usage texts would flood the fuzzer's output; the streams
        // go nowhere, while the fuzzer's own reports keep standard error.
        std::cout.rdbuf(nullptr);
        std::cerr.rdbuf(nullptr);
        return true;
    }();
    (void)quiet;
    std::vector<std::string> args = {"pelican"};
    std::string current;
    for (size_t i = 0; i < size && args.size() < 64; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (!current.empty()) args.push_back(current);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    pelican::BatchOptions options;
    int exitCode = -1;
    switch (pelican::ParseCommandLine(static_cast<int>(args.size()), argv.data(), options, exitCode)) {
        case pelican::CommandLine::Exit:
            if (exitCode != 0 && exitCode != 2) std::abort();
            break;
        case pelican::CommandLine::Batch:
            if (options.actions.empty()) std::abort();
            if (options.port.empty() && !options.simulate) std::abort();
            for (const auto& action : options.actions) {
                bool known = false;
                for (const auto& name : pelican::BatchActionNames()) known = known || name == action;
                if (!known) std::abort();
            }
            break;
        case pelican::CommandLine::ListPorts:
            if (!options.actions.empty()) std::abort();
            break;
        case pelican::CommandLine::Window:
            if (!options.actions.empty()) std::abort();
            break;
        case pelican::CommandLine::Report:
            // A question for a database, never a board.
            if (options.report.empty() || options.store.empty() || !options.actions.empty() ||
                !options.port.empty() || options.simulate)
                std::abort();
            break;
    }
    return 0;
}
