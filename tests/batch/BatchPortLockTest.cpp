// One batch run per port: a run on a port another run holds is refused with
// its own exit status and sends nothing; other ports and the window
// program's lock do not block it.
#include <gtest/gtest.h>

#include "link/PortLock.h"
#include "support/BatchBench.h"
#include "sys/InstanceLock.h"

namespace pelican::test {
namespace {

TEST(BatchPortLock, ASecondRunOnTheSamePortIsRefused) {
    CBatchBench bench;
    CInstanceLock other;
#ifdef _WIN32
    ASSERT_TRUE(other.Acquire(PortLockName("\\\\.\\com1")));  // COM1 under another name
#else
    ASSERT_TRUE(other.Acquire(PortLockName("/dev/ttyS0")));  // COM1 under another name
#endif
    EXPECT_EQ(bench.Run({"status"}), kExitPortHeld);
    EXPECT_EQ(bench.m_out, "stop: Another run of this program is using COM1.\n");
    EXPECT_EQ(bench.m_err, "port COM1\n");
    EXPECT_TRUE(bench.m_sim.Received().empty());
    // With --json the refusal and the exit are events like any other.
    EXPECT_EQ(bench.Run({"--json", "status"}), kExitPortHeld);
    EXPECT_EQ(bench.m_out,
              "{\"event\":\"report\",\"port\":\"COM1\",\"text\":\"port COM1\"}\n"
              "{\"event\":\"message\",\"port\":\"COM1\",\"icon\":\"stop\",\"text\":\"Another run of this program is using COM1.\"}\n"
              "{\"event\":\"exit\",\"port\":\"COM1\",\"status\":6,\"outcome\":\"port held\"}\n");
}

TEST(BatchPortLock, RunsOnOtherPortsAndTheWindowLockDoNotBlock) {
    CBatchBench bench;
    CInstanceLock other;
    ASSERT_TRUE(other.Acquire(PortLockName("/dev/ttyS1")));
    CInstanceLock window;
    ASSERT_TRUE(window.Acquire("PELICAN.exe"));
    EXPECT_EQ(bench.Run({"status"}), 0) << bench.m_err;
    // The run let go of its port: the next one takes it.
    EXPECT_EQ(bench.Run({"status"}), 0) << bench.m_err;
}

}  // namespace
}  // namespace pelican::test
