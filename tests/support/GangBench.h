#pragma once
// The production line in process: the gang runner the executable uses,
// each port its own simulated board on its own virtual clock ("COM1",
// "COM2", ...), each board's device behind a gate that can keep the port
// away or the board deaf, and that writes down the modem-line changes.
#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "station/BatchRunner.h"
#include "production/GangRunner.h"
#include "link/DeviceWrapper.h"
#include "support/ScopedEnvironment.h"
#include "support/SimBench.h"
#include "support/TempDir.h"

namespace pelican::test {

// A port that may not be there yet, a board that may not listen yet.
class CGatedDevice final : public CDeviceWrapper {
public:
    struct Gate {
        std::function<bool(int attempt)> present;  // the port opens at its attempt-th open (from 1)
        // Why the attempt-th open fails (EBUSY: another program holds the
        // port, EACCES, ENOTTY), 0 when it is not refused.
        std::function<int(int attempt)> refused;
        std::function<void(const uint8_t*, size_t)> onWrite;  // each write that reaches the board
        std::function<bool()> listening;  // what is written reaches the board
        std::mutex mutex;
        std::vector<std::string> lines;   // "dtr:0", "rts:1": each change, in turn
        std::atomic<int> attempts{0};     // the opens tried
    };

    CGatedDevice(std::unique_ptr<ISerialDevice> inner, Gate& gate) : CDeviceWrapper(std::move(inner)), m_gate(gate) {}

    bool Open(const std::string& name) override {
        const int attempt = ++m_gate.attempts;
        m_refused = m_gate.refused ? m_gate.refused(attempt) : 0;
        if (m_refused == 0 && m_gate.present && !m_gate.present(attempt)) m_refused = ENOENT;
        return m_refused == 0 && CDeviceWrapper::Open(name);
    }
    int OpenError() const override { return m_refused != 0 ? m_refused : CDeviceWrapper::OpenError(); }
    long Write(const uint8_t* data, size_t length) override {
        if (m_gate.listening && !m_gate.listening()) return static_cast<long>(length);  // lost on the way
        if (m_gate.onWrite) m_gate.onWrite(data, length);
        return CDeviceWrapper::Write(data, length);
    }
    int SetModemLine(ModemLine line, bool on) override {
        {
            const std::lock_guard<std::mutex> lock(m_gate.mutex);
            m_gate.lines.push_back(std::string(line == ModemLine::Dtr ? "dtr" : "rts") + (on ? ":1" : ":0"));
        }
        return CDeviceWrapper::SetModemLine(line, on);
    }

private:
    Gate& m_gate;
    int m_refused = 0;
};

class CGangBench {
public:
    explicit CGangBench(size_t boards, std::function<sim::BoardConfig(size_t)> config = nullptr) {
        m_env.Set("XDG_CONFIG_HOME", m_dir.Path());
        m_env.Set("XDG_RUNTIME_DIR", m_dir.Path());
        m_env.Set("APPDATA", m_dir.Path());  // where Windows keeps the settings
        for (size_t i = 0; i < boards; ++i) {
            m_ports.push_back("COM" + std::to_string(i + 1));
            m_sims.push_back(std::make_unique<CSimBench>(config ? config(i) : sim::BoardConfig{}));
            m_gates.push_back(std::make_unique<CGatedDevice::Gate>());
        }
    }

    // Parses the command line as the executable does, with -p for every
    // board first, and runs the gang; the exit status.
    int Run(std::vector<std::string> args) {
        std::vector<std::string> argv = {"pelican"};
        for (const std::string& port : m_ports) argv.insert(argv.end(), {"-p", port});
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (auto& arg : argv) pointers.push_back(arg.data());
        BatchOptions options;
        int exitCode = 0;
        if (ParseCommandLine(static_cast<int>(pointers.size()), pointers.data(), options, exitCode) !=
            CommandLine::Batch)
            return exitCode;
        CGangRunner gang(options, [this](const std::string& port) {
            const size_t i = Index(port);
            BoardSetup setup;
            setup.clock = &m_sims[i]->Clock();
            setup.makeDevice = [this, i]() -> std::unique_ptr<ISerialDevice> {
                return std::make_unique<CGatedDevice>(m_sims[i]->MakeDevice(m_ports[i]), *m_gates[i]);
            };
            setup.prepare = [this, i](CBatchRunner& runner) {
                runner.m_survey = m_survey;
                runner.m_questions.m_interactive = false;
                runner.m_printer.m_showProgress = false;
                runner.m_boardReset.m_onPress = [this, i] { m_sims[i]->Board().Reset(); };
                if (m_prepare) m_prepare(i, runner);
            };
            return setup;
        });
        gang.m_survey = m_survey;
        if (!m_standardOutput) gang.m_console.m_out = [this](const std::string& line) { m_out.push_back(line); };
        gang.m_console.m_err = [this](const std::string& line) { m_err.push_back(line); };
        gang.m_console.m_draw = [](const std::string&) {};
        const int status = gang.Run();
        m_results = gang.m_results;
        return status;
    }

    size_t Index(const std::string& port) const {
        for (size_t i = 0; i < m_ports.size(); ++i)
            if (m_ports[i] == port) return i;
        return 0;
    }
    // The lines that start with prefix, in the order they came, without it.
    static std::vector<std::string> Starting(const std::vector<std::string>& lines, const std::string& prefix) {
        std::vector<std::string> found;
        for (const std::string& line : lines)
            if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line.substr(prefix.size()));
        return found;
    }

    CSimBench& Sim(size_t i) { return *m_sims[i]; }
    CGatedDevice::Gate& Gate(size_t i) { return *m_gates[i]; }

    // Called with each run's runner (board index) before it runs.
    std::function<void(size_t, CBatchRunner&)> m_prepare;
    CScopedEnv m_env;  // given back last, after everything that reads it
    CTempDir m_dir;
    std::vector<std::string> m_ports;
    std::vector<std::string> m_out;  // standard output, line by line (the console's lines are whole)
    bool m_standardOutput = false;   // std::cout itself instead of m_out
    std::vector<std::string> m_err;
    std::vector<BoardResult> m_results;
    // The ports the system reports (none unless given).
    std::function<PortSurvey()> m_survey = [] { return PortSurvey{}; };

private:
    std::vector<std::unique_ptr<CSimBench>> m_sims;
    std::vector<std::unique_ptr<CGatedDevice::Gate>> m_gates;
};

}  // namespace pelican::test
