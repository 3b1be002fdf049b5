// The counter and the log are shared by the stations of a line, each
// change made under the file's lock. Another station holding it is waited
// for, told after a second, given up after 30 s or when Ctrl-C comes: in
// whole runs against the simulated board on its clock, with the lock held
// by another open file of this process (the lock belongs to the open file,
// as another station's would).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "support/BatchBench.h"
#include "support/ProgramFiles.h"
#include "sys/LockedFile.h"

#ifndef _WIN32
#include <signal.h>
#endif

namespace pelican::test {
namespace {

enum class Held { Nothing, CounterFromStart, CounterAtFirstFrame, LogAtFirstFrame };
enum class Then { Kept, FreedWhenTold, CtrlCWhenTold };

TEST(BatchLockWait, AnotherStationHoldingTheCounterOrTheLog) {
    const struct {
        const char* name;
        Held held;
        Then then;
        int status;
        std::string err;  // standard error; COUNTER and LOG stand for the paths
        bool sent;    // whether anything was sent to the board at all
        size_t work;  // erase and page program frames
        std::string counter;
        uint64_t toldFor;  // ms on the board's clock from the waiting line to the next (first wait only)
    } cases[] = {
        {"free", Held::Nothing, Then::Kept, 0,
         Err("serial number 17 at 0C0100-0C0101 (le16: 11 00)\n"), true, 3, "18\n", 0},
        {"freed within the deadline", Held::CounterAtFirstFrame, Then::FreedWhenTold, 0,
         Err("waiting for the lock on COUNTER (another station holds it)\n"
             "serial number 17 at 0C0100-0C0101 (le16: 11 00)\n"),
         true, 3, "18\n", 0},
        {"held past the deadline", Held::CounterAtFirstFrame, Then::Kept, 7,
         Err("waiting for the lock on COUNTER (another station holds it)\n"
             "the counter file COUNTER could not be locked: another station held it for 30 s\n"),
         true, 0, "17\n", 29000},
        {"held before the port is opened", Held::CounterFromStart, Then::Kept, 7,
         "waiting for the lock on COUNTER (another station holds it)\n"
         "the counter file COUNTER could not be locked: another station held it for 30 s\n",
         false, 0, "17\n", 29000},
#ifndef _WIN32
        {"Ctrl-C while waiting", Held::CounterAtFirstFrame, Then::CtrlCWhenTold, 130,
         Err("waiting for the lock on COUNTER (another station holds it)\n"
             "the counter file COUNTER could not be locked: the run was stopped while waiting for it\n"),
         true, 0, "17\n", 0},
#endif
        // The number's trace goes into the log under the counter's lock:
        // the number is used up, the board not touched.
        {"the log held as the number is taken", Held::LogAtFirstFrame, Then::Kept, 7,
         Err("waiting for the lock on LOG (another station holds it)\n"
             "serial number 17 was taken, but the log LOG could not be written: another station held it for 30 s; "
             "the board is left as it is\n") +
             "waiting for the lock on LOG (another station holds it)\n"
             "the record could not be written to LOG: another station held it for 30 s\n",
         true, 0, "18\n", 29000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTempDir shared;
        shared.Write("counter", "17\n");
        WriteProgramFiles(shared);
        const std::string counter = shared.File("counter");
        const std::string log = shared.File("line.jsonl");
        CBatchBench bench;
        auto holder = std::make_shared<CLockedFile>();
        const auto hold = [holder](const std::string& path) {
            std::string error;
            ASSERT_TRUE(holder->Open(path, CLockedFile::Mode::Append, error)) << error;
            ASSERT_EQ(holder->TryLock(error), CLockedFile::Attempt::Locked) << error;
        };
        if (c.held == Held::CounterFromStart) hold(counter);
        if (c.held == Held::CounterAtFirstFrame || c.held == Held::LogAtFirstFrame) {
            const std::string path = c.held == Held::LogAtFirstFrame ? log : counter;
            bench.m_sim.Board().SetFrameObserver([hold, path, holder](const sim::SimFrame&) {
                if (!holder->IsOpen()) hold(path);
            });
        }
        std::vector<uint64_t> times;  // of each line, on the board's clock
        bench.m_onReport = [&c, &bench, &times, holder](const std::string& line) {
            times.push_back(bench.m_sim.Clock().NowMs());
            if (line.rfind("waiting for the lock", 0) != 0) return;
            if (c.then == Then::FreedWhenTold) holder->Unlock();
#ifndef _WIN32
            if (c.then == Then::CtrlCWhenTold) ::raise(SIGINT);
#endif
        };
        const int status = bench.Run({"-f", shared.File("prog.mot"), "-y", "--log", log, "--serial-number",
                                      "C0100:le16:" + counter, "epr"});
        EXPECT_EQ(status, c.status) << bench.m_err;
        std::string err = c.err;
        for (const auto& [name, path] : {std::pair{"COUNTER", counter}, std::pair{"LOG", log}})
            for (size_t at; (at = err.find(name)) != std::string::npos;)
                err.replace(at, std::string(name).size(), path);
        EXPECT_EQ(bench.m_err, err);
        // Told after a second of waiting; given up at the deadline, or at
        // once when the lock was freed or Ctrl-C came (within one try).
        const size_t told = err.find("waiting for the lock");
        if (told != std::string::npos) {
            const size_t line = static_cast<size_t>(std::count(err.begin(), err.begin() + told, '\n'));
            ASSERT_LT(line + 1, times.size());
            EXPECT_NEAR(static_cast<double>(times[line + 1] - times[line]), static_cast<double>(c.toldFor), 20.0);
        }
        EXPECT_EQ(bench.m_sim.Board().Frames().empty(), !c.sent);
        EXPECT_EQ(bench.m_sim.FramesOf(0xA7) + bench.m_sim.FramesOf(0x41), c.work);
        EXPECT_EQ(shared.Read("counter"), c.counter);
    }
}

TEST(BatchLockWait, TheLogIsOpenedForEachRecord) {
    // A log moved away while a board is in work (the day's log rotated):
    // the record goes to the file the path names when it is written, and
    // the station held nothing of the old one.
    CTempDir shared;
    const std::string log = shared.File("line.jsonl");
    CBatchBench bench;
    auto moved = std::make_shared<bool>(false);
    bench.m_sim.Board().SetFrameObserver([moved, log, old = shared.File("old.jsonl")](const sim::SimFrame&) {
        if (!*moved) *moved = std::rename(log.c_str(), old.c_str()) == 0;
    });
    EXPECT_EQ(bench.Run({"-y", "--log", log, "status"}), 0) << bench.m_err;
    ASSERT_TRUE(*moved);
    EXPECT_EQ(shared.Read("old.jsonl"), "");
    EXPECT_NE(shared.Read("line.jsonl").find("\"outcome\":\"ok\""), std::string::npos);
}

}  // namespace
}  // namespace pelican::test
