// One batch run per port: a run on a port another run holds is refused with
// its own exit status and sends nothing; other ports are not held.
#include <gtest/gtest.h>

#include "batch/PortLock.h"
#include "support/BatchBench.h"

namespace pelican::test {
namespace {

TEST(BatchPortLock, ASecondRunOnTheSamePortIsRefused) {
    CBatchBench bench;
    CPortLock other;
    ASSERT_TRUE(other.Acquire("/dev/ttyS0"));  // COM1 under another name
    EXPECT_EQ(bench.Run({"status"}), CBatchRunner::kExitPortInUse);
    EXPECT_EQ(bench.m_out, "");
    EXPECT_NE(bench.m_err.find("COM1 is in use by another batch run"), std::string::npos) << bench.m_err;
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}

TEST(BatchPortLock, RunsOnOtherPortsAndTheWindowLockDoNotBlock) {
    CBatchBench bench;
    CPortLock other;
    ASSERT_TRUE(other.Acquire("/dev/ttyS1"));
    CInstanceLock window;
    ASSERT_TRUE(window.Acquire("PELICAN.exe"));
    EXPECT_EQ(bench.Run({"status"}), 0) << bench.m_err;
}

}  // namespace
}  // namespace pelican::test
