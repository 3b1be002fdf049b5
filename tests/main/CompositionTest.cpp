// The program put together over a platform kit whose parts are the
// simulated board on the virtual clock and parts that note what is done
// with them: which device a run takes, the order the console, the board and
// the session are set up and given back in, and how the run ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <iostream>
#include <sstream>

#include "lifecycle/SignalStop.h"
#include "main/Composition.h"
#include "support/ScopedEnvironment.h"
#include "support/SimBench.h"
#include "support/TempDir.h"

namespace pelican::test {
namespace {

using Log = std::vector<std::string>;

struct Left {
    int status;
};

class CNotedConsole final : public IBatchConsole {
public:
    explicit CNotedConsole(Log& log) : m_log(log) { m_log.push_back("console set up"); }
    ~CNotedConsole() override { m_log.push_back("console given back"); }
    [[noreturn]] void Leave(int status) override {
        m_log.push_back("left with " + std::to_string(status));
        throw Left{status};
    }

private:
    Log& m_log;
};

class CNotedSession final : public ISessionWatch {
public:
    explicit CNotedSession(Log& log) : m_log(log) { m_log.push_back("session watched"); }
    ~CNotedSession() override { m_log.push_back("session let go"); }
    void SetBusy(bool busy) override { m_log.push_back(busy ? "busy" : "idle"); }

private:
    Log& m_log;
};

class CBenchBoard final : public ISimulatedBoard {
public:
    explicit CBenchBoard(CSimBench& sim) : m_sim(sim) {}
    std::string Port() const override { return "SIM"; }
    std::unique_ptr<ISerialDevice> MakeDevice() override { return m_sim.MakeDevice("SIM"); }
    void Reset() override { m_sim.Board().Reset(); }

private:
    CSimBench& m_sim;
};

class CKitBench {
public:
    CKitBench() {
        m_env.Set("XDG_CONFIG_HOME", m_dir.Path());
        m_env.Set("XDG_RUNTIME_DIR", m_dir.Path());
        m_kit.occupyClosedDescriptors = [this] {
            m_log.push_back("descriptors");
            return m_outputClosed;
        };
        m_kit.clock = &m_sim.Clock();
        m_kit.makeDevice = [this] { return m_sim.MakeDevice("COM1"); };
        m_kit.startSimulatedBoard = [this]() -> std::unique_ptr<ISimulatedBoard> {
            m_log.push_back("board started");
            if (!m_boardStarts) return nullptr;
            return std::make_unique<CBenchBoard>(m_sim);
        };
        m_kit.holdBatchConsole = [this] { return std::make_unique<CNotedConsole>(m_log); };
        m_kit.watchSession = [this] { return std::make_unique<CNotedSession>(m_log); };
    }

    // The exit status; standard output and error are collected.
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "pelican");
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::ostringstream out, err;
        std::streambuf* const cout = std::cout.rdbuf(out.rdbuf());
        std::streambuf* const cerr = std::cerr.rdbuf(err.rdbuf());
        int status = -1;
        try {
            status = RunPelican(m_kit, static_cast<int>(args.size()), argv.data());
        } catch (const Left& left) {
            CSignalStop::Uninstall();
            status = left.status;
        }
        std::cout.rdbuf(cout);
        std::cerr.rdbuf(cerr);
        m_out = out.str();
        m_err = err.str();
        return status;
    }

    CScopedEnv m_env;
    CTempDir m_dir;
    CSimBench m_sim;
    PlatformKit m_kit;
    Log m_log;
    bool m_outputClosed = false;
    bool m_boardStarts = true;
    std::string m_out, m_err;
};

constexpr const char* kLinkLines = "pelican: link up at 9600 bps\npelican: link returned to 9600 bps; port closed\n";

TEST(Composition, ABatchRunIsPutTogetherFromThePlatformsParts) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        bool outputClosed;
        bool boardStarts;
        int status;
        std::string out;
        std::string err;
        Log log;
    } cases[] = {
        {"the simulated board's port and device",
         {"--simulate", "version"}, false, true, 0, "Version: VER.1.00\n",
         std::string("pelican: port SIM\n") + kLinkLines,
         {"descriptors", "console set up", "board started", "session watched", "busy", "session let go",
          "console given back"}},
        {"a named port on the platform's device",
         {"-p", "COM1", "version"}, false, true, 0, "Version: VER.1.00\n",
         std::string("pelican: port COM1\n") + kLinkLines,
         {"descriptors", "console set up", "session watched", "busy", "session let go", "console given back"}},
        // The platform has told why; nothing reaches a port.
        {"a simulated board that does not start",
         {"--simulate", "version"}, false, false, 3, "", "",
         {"descriptors", "console set up", "board started", "console given back"}},
        // The line goes where the closed descriptor now leads.
        {"standard output closed by the caller",
         {"-p", "COM1", "version"}, true, true, 1, "Version: VER.1.00\n",
         "pelican: port COM1\npelican: link up at 9600 bps\npelican: link returned to 9600 bps; port closed\n"
         "pelican: standard output could not be written: it is closed\n",
         {"descriptors", "console set up", "session watched", "busy", "session let go", "console given back"}},
        // A station: the session's end waits for the board's job, not for
        // the station's looks for a board.
        {"a station waiting for its board",
         {"-p", "COM1", "--wait", "version"}, false, true, 0, "Version: VER.1.00\n",
         std::string("pelican: waiting for a board on COM1\npelican: port COM1\n") + kLinkLines,
         {"descriptors", "console set up", "session watched", "busy", "idle", "session let go",
          "console given back"}},
        // A usage error is told on the console set up for it.
        {"a usage error",
         {"-p", "COM1", "--no-such-option"}, false, true, 2, "", "",
         {"descriptors", "console set up", "console given back"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CKitBench bench;
        bench.m_outputClosed = c.outputClosed;
        bench.m_boardStarts = c.boardStarts;
        EXPECT_EQ(bench.Run(c.args), c.status);
        EXPECT_EQ(bench.m_out, c.out);
        if (c.status != 2) {
            EXPECT_EQ(bench.m_err, c.err);
        }
        EXPECT_EQ(bench.m_log, c.log);
        if (!c.boardStarts) {
            EXPECT_EQ(bench.m_sim.Received(), Bytes{});
        }
    }
}

TEST(Composition, ASignalLeavesThroughThePlatformsWayOutOnceTheLinkIsBackAt9600) {
    CKitBench bench;
    // As the board takes the new rate's code: the change ends with its echo,
    // then the way back to 9600 bps.
    bench.m_sim.RaiseAt(0xB4, 1, SIGTERM);
    EXPECT_EQ(bench.Run({"-p", "COM1", "-b", "115200", "version"}), 143);
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    EXPECT_EQ(bench.m_err.substr(bench.m_err.rfind("pelican: SIGTERM: returning")),
              "pelican: SIGTERM: returning the link to 9600 bps\npelican: link at 9600 bps; port closed\n");
    EXPECT_EQ(bench.m_log, (Log{"descriptors", "console set up", "session watched", "busy", "left with 143",
                                "session let go", "console given back"}));
}

// Over SSH there is no display: the window program says so in one line and
// ends as on a usage error, with no port touched and no lock taken.
TEST(Composition, TheWindowProgramWithoutADisplaySaysSoAndEnds) {
    CKitBench bench;
    bench.m_kit.openWindows = [&bench](int&, char**) -> std::unique_ptr<IWindowFront> {
        bench.m_log.push_back("windows asked for");
        return nullptr;
    };
    EXPECT_EQ(bench.Run({}), 2);
    EXPECT_EQ(bench.m_err,
              "pelican: no display to show the windows on; the actions run without one (see pelican -h)\n");
    EXPECT_EQ(bench.m_out, "");
    EXPECT_EQ(bench.m_log, (Log{"descriptors", "console set up", "console given back", "windows asked for"}));
    EXPECT_EQ(bench.m_sim.Received(), Bytes{});
}

}  // namespace
}  // namespace pelican::test
