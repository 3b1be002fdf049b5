#pragma once
// The production line in one process: every port of -p its own board,
// driven by its own thread (its own application, link, waits and
// recovery), so that a slow or failing board never holds back the others;
// with --wait and --loop, one board after another on each port. The
// signals are taken once for all of them: one that ends the program ends
// every board after its exchange in flight, each returned to 9600 bps.
#include <functional>
#include <string>
#include <vector>

#include "station/BatchOptions.h"
#include "production/BoardStation.h"
#include "production/GangConsole.h"
#include "link/PortInfo.h"

namespace pelican {

class CGangRunner {
public:
    // setupFor: what the composition gives the port.
    CGangRunner(const BatchOptions& options, std::function<BoardSetup(const std::string& port)> setupFor);

    // Runs every board; the exit status of the whole (GangStatus). Two
    // ports that are one device are a usage error (2), told before any
    // board starts.
    int Run();

    // One status for many boards: the one every board ended with when they
    // agree (so a gang of one ends as a single run would); otherwise 3 when
    // a board was perhaps left not at 9600 bps (it needs a RESET), then
    // 128 + N when signal N ended boards, else 1. No boards at all (a loop
    // stopped before the first): 0.
    static int GangStatus(const std::vector<BoardResult>& results);

    // Whether the boards' lines are drawn in place (standard error is a
    // terminal), and where every line goes.
    CGangConsole m_console;
    // The results, in the order of the ports, each port's runs in turn.
    std::vector<BoardResult> m_results;
    // This machine's ports, asked when a usb: or serial: name is among the
    // ports (the system's survey unless replaced).
    std::function<PortSurvey()> m_survey;

private:
    BatchOptions m_options;
    std::function<BoardSetup(const std::string&)> m_setupFor;
};

}  // namespace pelican
