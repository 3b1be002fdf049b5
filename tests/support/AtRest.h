#pragma once
// The state every run of the window program leaves behind, whatever it did:
// the board back at 9600 bps (where the next run, and the boot loader after
// a RESET, start), the standing 5 s read time-out rather than a page's or an
// erase's own, and no progress window left open over a main window that
// could be used again. Checked as
// EXPECT_TRUE(AtRest(bench)): a failure names what is not at rest, at the
// caller's line.
#include <gtest/gtest.h>

#include <string>

#include "app/AppBench.h"

namespace pelican::test {

inline ::testing::AssertionResult AtRest(CAppBench& bench) {
    std::string wrong;
    if (const uint32_t baud = bench.m_sim.Board().BaudRate(); baud != 9600)
        wrong += "; the board at " + std::to_string(baud) + " bps, not 9600";
    if (const int32_t timeout = bench.m_app->m_port.ReadTimeout(); timeout != 5000)
        wrong += "; the read time-out " + std::to_string(timeout) + " ms, not 5000";
    if (const size_t left = bench.m_ui.ModelessCount(); left != 0)
        wrong += "; " + std::to_string(left) + " progress window(s) left open";
    if (!bench.m_mainEnabledAtExit) wrong += "; the main window disabled at Exit";
    if (wrong.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not at rest" << wrong;
}

}  // namespace pelican::test
