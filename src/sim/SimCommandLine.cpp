#include "sim/SimCommandLine.h"

#include <cctype>
#include <exception>

namespace pelican::sim {
namespace {

bool ParseMs(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 9) return false;
    uint32_t result = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        result = result * 10 + static_cast<uint32_t>(c - '0');
    }
    value = result;
    return true;
}

// A chance from 0 to 1: "1.5e-4", "0.001", "0".
bool ParseRate(const std::string& text, double& value) {
    if (text.empty() || text.find_first_not_of("0123456789.eE+-") != std::string::npos) return false;
    size_t used = 0;
    double result = 0;
    try {
        result = std::stod(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    if (used != text.size() || !(result >= 0.0 && result <= 1.0)) return false;
    value = result;
    return true;
}

bool ParseSeed(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    try {
        value = std::stoull(text);
    } catch (const std::exception&) {
        return false;  // past 64 bits
    }
    return true;
}

}  // namespace

bool CSimCommandLine::ParseId(const std::string& text, IdBytes& id) {
    std::string digits;
    for (char c : text) {
        if (c == ':' || c == '-' || c == ' ') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digits += c;
    }
    if (digits.size() != 2 * id.size()) return false;
    for (size_t i = 0; i < id.size(); ++i)
        id[i] = static_cast<uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    return true;
}

std::string CSimCommandLine::Usage() {
    return "Usage: pelican-sim [options]\n"
           "A simulated Orca board in serial boot mode on a pseudo-terminal. Prints the\n"
           "terminal's path and serves it until interrupted. Press Enter or send SIGUSR1\n"
           "to push the board's RESET button. Bytes take the wire's real time both ways\n"
           "(10 bits a byte at the rate the board runs at).\n"
           "\n"
           "  --type sp|w            device type: Orca/S P (flash 0C0000-0FFFFF, default)\n"
           "                         or Orca/W (flash F00000-FFFFFF)\n"
           "  --id HH:HH:HH:HH:HH:HH:HH\n"
           "                         the ID bytes the board holds (default 01:02:...:07;\n"
           "                         with --srec and no --id the file's ID bytes stand)\n"
           "  --version-text TEXT    answer to Version read, 8 characters (default VER.1.00)\n"
           "  --srec FILE            initial memory from a Motorola S-record file\n"
           "  --erase-ms N           busy time of Erase all (default 2000)\n"
           "  --program-ms N         busy time of one page program (default 2)\n"
           "  --max-baud RATE        the fastest rate the board takes (9600 to 115200,\n"
           "                         default 115200); it does not echo a faster one\n"
           "  --silent               the board does not answer until its RESET is\n"
           "                         pressed, like one not started in boot mode\n"
           "  --no-id-check          memory commands and Download need no ID check\n"
           "                         (the Orca/W boot-loader target)\n"
           "  --noise P              a noisy line: each character, either way, arrives with\n"
           "                         one data bit flipped with the chance P (0 to 1, e.g.\n"
           "                         1.5e-4; default 0, a clean line)\n"
           "  --seed N               where the noise's draws start (default 1): the same seed\n"
           "                         hits the same characters again\n"
           "  --link PATH            create a symlink PATH to the terminal\n"
           "  --verbose              print every command frame on stderr\n"
           "  --help                 this text\n";
}

bool CSimCommandLine::Parse(const std::vector<std::string>& args, SimOptions& options, std::string& error) {
    bool idGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto needValue = [&]() {
            if (hasValue) return true;
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto noValue = [&]() {
            if (hasValue) error = name + " takes no value";
            return !hasValue;
        };

        if (name == "--help" || name == "-h") {
            if (!noValue()) return false;
            options.help = true;
        } else if (name == "--type") {
            if (!needValue()) return false;
            if (value == "sp" || value == "SP") {
                options.config.type = DeviceType::OrcaSP;
            } else if (value == "w" || value == "W") {
                options.config.type = DeviceType::OrcaW;
            } else {
                error = "--type must be sp or w";
                return false;
            }
        } else if (name == "--id") {
            IdBytes id{};
            if (!needValue()) return false;
            if (!ParseId(value, id)) {
                error = "--id needs seven hexadecimal bytes, e.g. 01:02:03:04:05:06:07";
                return false;
            }
            options.config.id = id;
            idGiven = true;
        } else if (name == "--version-text") {
            if (!needValue()) return false;
            options.config.version = value;
        } else if (name == "--srec") {
            if (!needValue()) return false;
            options.config.srecordFile = value;
        } else if (name == "--erase-ms" || name == "--program-ms") {
            uint32_t ms = 0;
            if (!needValue()) return false;
            if (!ParseMs(value, ms)) {
                error = name + " needs a number of milliseconds";
                return false;
            }
            (name == "--erase-ms" ? options.config.eraseMs : options.config.programMs) = ms;
        } else if (name == "--max-baud") {
            uint32_t rate = 0;
            if (!needValue()) return false;
            if (!ParseMs(value, rate) || (rate != 9600 && rate != 19200 && rate != 38400 && rate != 57600 &&
                                          rate != 115200)) {
                error = "--max-baud must be 9600, 19200, 38400, 57600 or 115200";
                return false;
            }
            options.config.maxBaud = rate;
        } else if (name == "--silent") {
            if (!noValue()) return false;
            // Silent from the first synchronisation until RESET; the fault
            // fires once.
            options.config.faults.silentFrom = {0x00, 1};
        } else if (name == "--no-id-check") {
            if (!noValue()) return false;
            options.config.requireId = false;
        } else if (name == "--noise") {
            if (!needValue()) return false;
            if (!ParseRate(value, options.config.faults.noiseRate)) {
                error = "--noise needs a chance from 0 to 1, e.g. 1.5e-4";
                return false;
            }
        } else if (name == "--seed") {
            if (!needValue()) return false;
            if (!ParseSeed(value, options.config.faults.noiseSeed)) {
                error = "--seed needs a whole number";
                return false;
            }
        } else if (name == "--link") {
            if (!needValue()) return false;
            options.linkPath = value;
        } else if (name == "--verbose") {
            if (!noValue()) return false;
            options.verbose = true;
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    if (!options.config.srecordFile.empty() && !idGiven) options.config.id.reset();
    // A board that runs for hours must not hoard every byte it saw.
    options.config.keepLog = false;
    return true;
}

}  // namespace pelican::sim
