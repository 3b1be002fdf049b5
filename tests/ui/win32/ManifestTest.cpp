// pelican.exe's manifest as the system reads it: this program carries the
// same one, and the system makes it per-monitor DPI aware.
#include <gtest/gtest.h>

#include <windows.h>

namespace pelican::test {
namespace {

TEST(Manifest, TheProgramIsPerMonitorDpiAware) {
    // Resolved at run time: older headers and systems lack the calls.
    using GetContext = HANDLE(WINAPI*)();
    using GetAwareness = int(WINAPI*)(HANDLE);
    const HMODULE user32 = ::LoadLibraryW(L"user32.dll");
    ASSERT_NE(user32, nullptr);
    const auto context = reinterpret_cast<GetContext>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    const auto awareness = reinterpret_cast<GetAwareness>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    if (context == nullptr || awareness == nullptr) GTEST_SKIP() << "no DPI awareness contexts here";
    EXPECT_EQ(awareness(context()), 2);  // DPI_AWARENESS_PER_MONITOR_AWARE
}

}  // namespace
}  // namespace pelican::test
