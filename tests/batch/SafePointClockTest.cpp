// The batch-mode clock: pauses are cut into safe points, and times shorter
// than a millisecond pass through unrounded.
#include <gtest/gtest.h>

#include <functional>

#include "lifecycle/SafePointClock.h"
#include "support/SteppedClock.h"

namespace pelican::test {
namespace {

TEST(SafePointClock, MicrosecondsPassThroughAndLongPausesStopAtSafePoints) {
    CSteppedClock inner{5000500};
    int safePoints = 0;
    const std::function<void()> count = [&safePoints] { ++safePoints; };
    CSafePointClock clock(inner, count);
    EXPECT_EQ(clock.NowUs(), 5000500u);

    // A three-byte command's time on the line at 115200 bps.
    clock.SleepUs(261);
    EXPECT_EQ(inner.NowUs(), 5000761u);
    EXPECT_EQ(safePoints, 1);

    // The one-second step of a baud-rate change: a safe point every 50 ms.
    clock.Sleep(1000);
    EXPECT_EQ(inner.NowUs(), 6000761u);
    EXPECT_EQ(safePoints, 1 + 20);
}

}  // namespace
}  // namespace pelican::test
