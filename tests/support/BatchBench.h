#pragma once
// Batch mode in process: the same runner the executable uses, driving the
// application on the simulated board and the virtual clock. What it prints
// on standard output and standard error is collected instead.
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/PelicanApp.h"
#include "cli/CommandLine.h"
#include "station/BatchRunner.h"
#include "lifecycle/SafePointClock.h"
#include "lifecycle/SafePointDevice.h"
#include "lifecycle/SignalStop.h"
#include "link/PortNotes.h"
#include "support/ScopedEnvironment.h"
#include "support/SimBench.h"
#include "support/TempDir.h"

namespace pelican::test {

class CBatchBench {
public:
    explicit CBatchBench(sim::BoardConfig config = sim::BoardConfig{}) : m_sim(std::move(config)) {
        m_env.Set("XDG_CONFIG_HOME", m_dir.Path());
        m_env.Set("XDG_RUNTIME_DIR", m_dir.Path());
        m_env.Set("APPDATA", m_dir.Path());  // where Windows keeps the settings
    }

    // Parses the command line as the executable does (the port is the
    // simulated board's "COM1" unless -p names another) and runs it; the
    // exit status.
    int Run(std::vector<std::string> args) {
        m_out.clear();
        m_err.clear();
        std::vector<std::string> argv = {"pelican"};
        bool hasPort = false;
        for (const auto& arg : args) hasPort = hasPort || arg == "-p" || arg == "--port";
        if (!hasPort) argv.insert(argv.end(), {"-p", "COM1"});
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (auto& arg : argv) pointers.push_back(arg.data());
        BatchOptions options;
        int exitCode = 0;
        if (ParseCommandLine(static_cast<int>(pointers.size()), pointers.data(), options, exitCode) !=
            CommandLine::Batch)
            return exitCode;
        // Put together as the executable does: the port's waits and the
        // clock's pauses are where signals are looked at.
        std::function<void()> waitPoint;
        CSafePointClock clock(m_sim.Clock(), waitPoint);
        CPelicanApp app(std::make_unique<CSafePointDevice>(m_sim.MakeDevice("COM1"), clock, waitPoint), clock);
        CBatchRunner runner(app, options);
        waitPoint = [this, &runner] {
            if (m_onWait) m_onWait();
            runner.InWait();
        };
        runner.m_printer.m_print = [this](const std::string& line) { m_out += line + "\n"; };
        runner.m_printer.m_report = [this](const std::string& line) {
            m_err += line + "\n";
            if (m_onReport) m_onReport(line);
        };
        runner.m_questions.m_interactive = m_interactive;
        runner.m_questions.m_ask = [this](const std::string& question, std::string& answer) {
            m_asked.push_back(question);
            if (m_answers.empty()) return false;  // the end of the input
            answer = m_answers.front();
            m_answers.erase(m_answers.begin());
            if (m_onAnswer) m_onAnswer();
            return true;
        };
        // The machine's own ports would make the runs depend on it.
        runner.m_survey = [this] { return m_ports; };
        runner.m_printer.m_showProgress = false;
        if (m_pressReset) runner.m_boardReset.m_onPress = [this] { m_sim.Board().Reset(); };
        if (m_setup) m_setup(runner);
        // A signal ends the process; here it ends the run with its status.
        runner.m_signalEnding.m_exit = [](int status) { throw Ended{status}; };
        try {
            return runner.Run();
        } catch (const Ended& ended) {
            CSignalStop::Uninstall();
            return ended.status;
        }
    }

    void StoreRate(uint32_t baud) const {
        m_dir.Write("pelican.INI", "[Last Comm State]\nBaundrate=" + std::to_string(baud) +
                                       "\nByte=8\nStop Bit=0\nParity=0\n");
    }

    struct Ended {
        int status;
    };
    // Called at every wait inside an exchange (the port's waits, the
    // clock's pauses), before the runner looks at signals.
    std::function<void()> m_onWait;
    // Called with the runner just before it runs (tests replace its terminal).
    std::function<void(CBatchRunner&)> m_setup;
    // Called with every line told on standard error.
    std::function<void(const std::string&)> m_onReport;
    // Whether "Push RESET." presses the board's button, as a person would.
    bool m_pressReset = true;
    // Standard input as a terminal: the questions asked on it, the answers
    // typed (none left: the end of the input), and what the person does
    // before each answer (press the board's RESET).
    bool m_interactive = false;
    std::vector<std::string> m_asked;
    std::vector<std::string> m_answers;
    std::function<void()> m_onAnswer;
    // The machine's ports as the run sees them.
    PortSurvey m_ports;
    CScopedEnv m_env;  // given back last, after everything that reads it
    CTempDir m_dir;
    CSimBench m_sim;
    std::string m_out;  // standard output
    std::string m_err;  // the "pelican:" lines of standard error
};

// Standard error of a run on COM1 at 9600 bps, with lines between the
// link coming up and its end.
inline std::string Err(const std::string& lines = "") {
    return "port COM1\nlink up at 9600 bps\n" + lines + "link returned to 9600 bps; port closed\n";
}

}  // namespace pelican::test
