#include "production/GangRunner.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <thread>

#include "production/SamePort.h"
#include "lifecycle/SignalStop.h"
#include "link/PortSelector.h"
#include "sys/Terminal.h"

namespace pelican {

CGangRunner::CGangRunner(const BatchOptions& options, std::function<BoardSetup(const std::string& port)> setupFor)
    : m_console(options.ports, options.ports.size() > 1, options.ports.size() > 1 && DrawsEscapes(StandardStream::Error),
                options.json),
      m_options(options),
      m_setupFor(std::move(setupFor)) {
    m_survey = [] { return SurveyPorts(); };
}

int CGangRunner::Run() {
    const bool named = std::all_of(m_options.ports.begin(), m_options.ports.end(), [](const std::string& port) {
        CPortSelector selector;
        std::string error;
        return CPortSelector::Parse(port, selector, error) && selector.IsName();
    });
    if (const std::string error = SamePortError(m_options.ports, named ? PortSurvey{} : m_survey()); !error.empty()) {
        m_console.m_err("pelican: " + error + " (see --help)");
        return kExitUsage;
    }
    CSignalStop::Install();
    const size_t count = m_options.ports.size();
    std::vector<std::vector<BoardResult>> perPort(count);
    std::atomic<bool> interruptTold{false};
    const auto runStation = [this, &perPort, &interruptTold](size_t board) {
        BatchOptions options = m_options;
        options.port = m_options.ports[board];
        BoardSetup setup = m_setupFor(options.port);
        if (!setup.survey) setup.survey = m_survey;
        CBoardStation station(options, std::move(setup), m_console, board, &interruptTold);
        perPort[board] = station.Run();
    };
    if (count == 1) {
        // One board runs on this thread, the one a signal is delivered to:
        // a question waiting for its answer on the terminal ends on Ctrl-C
        // as in a single run, instead of a thread that waits for the others.
        runStation(0);
    } else {
        std::vector<std::thread> threads;
        threads.reserve(count);
        for (size_t board = 0; board < count; ++board) threads.emplace_back(runStation, board);
        for (std::thread& thread : threads) thread.join();
    }
    // A signal that ended a loop while it waited for its next board ends
    // the program with its status, whatever the boards before it did.
    const int ending = CSignalStop::EndingSignal();
    CSignalStop::Uninstall();
    m_console.Finish();
    m_results.clear();
    for (const auto& results : perPort) m_results.insert(m_results.end(), results.begin(), results.end());
    // The table is for a person; --json has each board's own exit event.
    if (!m_options.json && (count > 1 || m_options.loop))
        for (const std::string& line : CGangConsole::Summary(m_results)) m_console.Plain(line);
    int status = GangStatus(m_results);
    if (m_options.loop && ending != 0 && status != kExitNoLink) status = kExitSignalBase + ending;
    // The table itself may be what could not be written.
    if (const std::string why = m_console.OutputError(); !why.empty() && status == kExitDone) {
        std::cerr << "pelican: standard output could not be written: " << why << std::endl;
        status = kExitFailed;
    }
    return status;
}

int CGangRunner::GangStatus(const std::vector<BoardResult>& results) {
    if (results.empty()) return kExitDone;
    bool agree = true;
    bool notAt9600 = false;
    int signalStatus = 0;
    for (const BoardResult& result : results) {
        agree = agree && result.status == results.front().status;
        notAt9600 = notAt9600 || (result.notAt9600 && result.status == kExitNoLink);
        if (result.status > kExitSignalBase) signalStatus = result.status;
    }
    if (agree) return results.front().status;
    if (notAt9600) return kExitNoLink;
    if (signalStatus != 0) return signalStatus;
    return kExitFailed;
}

}  // namespace pelican
