#include "cli/HelpText.h"

#include <CLI/CLI.hpp>
#include <string>

namespace pelican {
namespace {

// The actions, as the window program's buttons they press.
constexpr const char* kActions =
    "Actions (run in the order given, each as its button in the window):\n"
    "  load      ID Check: load -f and pass the board's ID (--id or the .id file)\n"
    "  status    read the boot loader's status bytes\n"
    "  version   read the boot loader's version\n"
    "  setting   Set baudrate: move the link to -b, the page pause to -i\n"
    "  erase     erase the whole flash (asks \"Erase?\" unless -y)\n"
    "  blank     check that the range (-r) is erased\n"
    "  program   program the file over the range (-r)\n"
    "  read      compare the range (-r) of the flash with the file\n"
    "  epr       erase, program and read back (E.P.R.)\n"
    "  bpr       blank check, program and read back (B.P.R.)\n"
    "  download  send the boot program (-t boot, -f) to the boot loader\n"
    "  dump      save the flash (-r, default the MCU type's) to the file of -o\n";

#ifdef _WIN32
constexpr const char* kSignals =
    "129 the console closed or the session ended, 130 Ctrl-C, 141 closed output,\n"
    "143 Ctrl-Break, each once the board confirmed 9600 bps. An ending lets the\n"
    "exchange in flight finish (an erase runs to its end) before the link returns\n"
    "to 9600 bps;\nCtrl-C";
#else
constexpr const char* kSignals =
    "128+N ended by signal N after the board confirmed 9600 bps (129 SIGHUP,\n"
    "130 Ctrl-C, 141 closed output, 143 SIGTERM). A signal lets the exchange in\n"
    "flight finish (an erase runs to its end) before the link returns to 9600 bps;\n"
    "a signal";
#endif

}  // namespace

void SetHelpTexts(CLI::App& cli) {
    auto formatter = cli.get_formatter();
    formatter->column_width(kHelpColumn);
    formatter->label("OPTIONS", "options");
    formatter->label("Positionals", "Actions to run");
    formatter->label("Options", "Options");
    formatter->label("REQUIRED", "(needed)");
    cli.set_help_flag("-h,--help", "show this help and end");
    cli.footer(std::string(kActions) +
               "\nExit status: 0 every action ended well; 1 an action was refused, failed or was\n"
               "cancelled, or standard output could not be written; 2 usage error; 3 the port\n"
               "could not be opened, an action lost the link or it could not be recovered (the\n"
               "board did not confirm 9600 bps at the end: reset it before the next run); 4 the\n"
               "window program is running already; 5 the lock file could not be made (runtime\n"
               "folder missing or read-only); 6 another run holds the port; 7 the --log file,\n"
               "the --serial-number counter or the --store database could not be used;\n" +
               kSignals +
               " given again in that wait ends the run at once, the board left as\n"
               "it is (status 3). A gang (-p given again, or --loop) ends with the status\n"
               "every board ended with when they agree; otherwise 3 when a board was left\n"
               "not at 9600 bps, then 128+N when a signal ended boards, else 1.");
}

}  // namespace pelican
