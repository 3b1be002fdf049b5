#pragma once
// The options of pelican-sim, the stand-alone simulated board.
#include <string>
#include <vector>

#include "sim/BoardConfig.h"

namespace pelican::sim {

struct SimOptions {
    BoardConfig config;
    std::string linkPath;  // a symlink to the terminal, e.g. /tmp/orca
    bool verbose = false;  // one line per command frame on stderr
    bool help = false;
};

class CSimCommandLine {
public:
    // args without the program name; "--name value" and "--name=value" both
    // work. False with a message on the first bad option.
    static bool Parse(const std::vector<std::string>& args, SimOptions& options, std::string& error);
    static std::string Usage();
    // "01:02:03:04:05:06:07" (also with '-' or spaces, or none between pairs).
    static bool ParseId(const std::string& text, IdBytes& id);
};

}  // namespace pelican::sim
