// The machine kept awake while a board is in work, as Windows (here Wine)
// sees the request: in force for as long as the object lives, given back
// after. Each look sets the state it expects, so it changes nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include "sys/KeepAwake.h"

namespace pelican::test {
namespace {

TEST(KeepAwake, TheSystemStaysInTheWorkingStateWhileABoardIsInWork) {
    const EXECUTION_STATE required = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
    {
        const CKeepAwake awake;
        // A request that lasts (ES_CONTINUOUS), not a single nudge of the
        // idle timer, and not the display.
        EXPECT_EQ(::SetThreadExecutionState(required), required);
    }
    EXPECT_EQ(::SetThreadExecutionState(ES_CONTINUOUS), static_cast<EXECUTION_STATE>(ES_CONTINUOUS));
}

}  // namespace
}  // namespace pelican::test
