#pragma once
// One board's job: what the command line of batch mode asks of it.
#include <cstdint>
#include <string>
#include <vector>

#include "lifecycle/ExitStatus.h"

namespace pelican {

struct BatchOptions {
    std::string port;
    int target = 0;           // 0 internal flash, 1 Orca/W boot loader
    std::string file;
    std::string id;           // "01:02:03:04:05:06:07"
    std::string mcu;          // "", "sp" or "w"
    uint32_t baud = 0;        // 0: keep the rate start-up brings up
    int interval = -1;        // -1: keep the program interval
    std::string range;        // "START-END" as typed into "Input Address"
    std::string output;       // the file "dump" writes
    bool yes = false;
    bool simulate = false;
    bool json = false;        // one JSON object per line on standard output
    bool listPorts = false;   // list the serial ports instead of running actions
    // DTR/RTS changes that reset the board into boot mode ("dtr:0,rts:1,
    // delay:100,dtr:1"), performed at start-up and for every "Push RESET.";
    // empty: the user presses RESET.
    std::string reset;
    bool ignoreChecksums = false;  // load files whose record checksums do not match
    // Program and read only the pages of a range that hold file data.
    bool skipEmptyPages = false;
    // Where a raw binary file (.bin) starts; -1: the flash start of the MCU type.
    int64_t offset = -1;
    // How many times a run goes on after a failed exchange in a page loop
    // (the recovery, the ID check again, the job from where it failed); 0
    // ends the action there.
    unsigned retries = 0;
    std::vector<std::string> actions;

    // The production line. Every -p names one board of a gang (port is the
    // first); each is driven by its own thread, link and run.
    std::vector<std::string> ports;
    // Wait for the port to appear and the board to answer before the job.
    bool wait = false;
    // After each board, wait for it to go and for the next one (implies wait).
    bool loop = false;
    // DTR/RTS changes (the syntax of --reset) that start the application
    // after a run that ended well; empty: none.
    std::string runAfter;
    // The record of each board (--log FILE) and its serial number
    // (--serial-number ADDR:FORMAT:COUNTERFILE); see RecordOptions.h.
    std::string log;
    std::string serialNumber;
    // Where numbers come from and records go (--store URL): empty or
    // "file:" the two files above; "sqlite:PATH" or "postgresql://..." a
    // database, whose counter --serial-number's last part names.
    std::string store;
    // A question to the --store database instead of a board (--report);
    // see StoreReport.h.
    std::string report;
};

// A hexadecimal address below 1000000 ("C0000", "0x0C0000"); false otherwise.
bool ParseHexAddress(const std::string& text, uint32_t& address);

// The action names in the order of the main window's buttons.
const std::vector<std::string>& BatchActionNames();

}  // namespace pelican
