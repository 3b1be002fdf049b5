// The console of a batch run under Wine: what counts as a terminal, and a
// console's QuickEdit and code page taken for the run and given back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "sys/Terminal.h"
#include "sys/win32/BatchConsole.h"

namespace pelican::test {
namespace {

TEST(BatchConsole, NulIsACharacterDeviceButNoTerminal) {
    const HANDLE nul = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     0, nullptr);
    ASSERT_NE(nul, INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetFileType(nul), static_cast<DWORD>(FILE_TYPE_CHAR));
    EXPECT_FALSE(IsConsole(nul));
    // What the C runtime says of it.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(nul), _O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_NE(::_isatty(fd), 0);
    ::_close(fd);
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    ASSERT_TRUE(::CreatePipe(&read, &write, nullptr, 0));
    EXPECT_FALSE(IsConsole(read));
    EXPECT_FALSE(IsConsole(write));
    ::CloseHandle(read);
    ::CloseHandle(write);
    EXPECT_FALSE(IsConsole(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(IsConsole(nullptr));
}

// A console of its own for the test, its input as standard input; the
// test's output stays where it goes.
class OwnConsole : public ::testing::Test {
protected:
    void SetUp() override {
        m_input = ::GetStdHandle(STD_INPUT_HANDLE);
        m_output = ::GetStdHandle(STD_OUTPUT_HANDLE);
        m_error = ::GetStdHandle(STD_ERROR_HANDLE);
        ::FreeConsole();
        if (!::AllocConsole()) GTEST_SKIP() << "no console can be made here";
        ::SetStdHandle(STD_OUTPUT_HANDLE, m_output);
        ::SetStdHandle(STD_ERROR_HANDLE, m_error);
        m_console = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(m_console, INVALID_HANDLE_VALUE);
        ::SetStdHandle(STD_INPUT_HANDLE, m_console);
    }
    // The console stays to the end of the test program: under Wine, freeing
    // it takes the program's own output with it.
    void TearDown() override {
        ::SetStdHandle(STD_INPUT_HANDLE, m_input);
        if (m_console != INVALID_HANDLE_VALUE) ::CloseHandle(m_console);
    }
    DWORD Mode() const {
        DWORD mode = 0;
        ::GetConsoleMode(m_console, &mode);
        return mode;
    }

    HANDLE m_input = nullptr, m_output = nullptr, m_error = nullptr;
    HANDLE m_console = INVALID_HANDLE_VALUE;
};

TEST_F(OwnConsole, QuickEditIsOffAlsoWhenStandardInputIsRedirected) {
    const DWORD before = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_QUICK_EDIT_MODE |
                         ENABLE_EXTENDED_FLAGS;
    ASSERT_TRUE(::SetConsoleMode(m_console, before));
    // pelican ... < NUL: the console still shows the run.
    const HANDLE nul = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     0, nullptr);
    ASSERT_NE(nul, INVALID_HANDLE_VALUE);
    ::SetStdHandle(STD_INPUT_HANDLE, nul);
    {
        CBatchConsole console;
        EXPECT_EQ(Mode() & ENABLE_QUICK_EDIT_MODE, 0u);
    }
    EXPECT_EQ(Mode() & ENABLE_QUICK_EDIT_MODE, static_cast<DWORD>(ENABLE_QUICK_EDIT_MODE));
    ::SetStdHandle(STD_INPUT_HANDLE, m_console);
    ::CloseHandle(nul);
}

TEST_F(OwnConsole, QuickEditIsOffForTheRunAndBackAfterIt) {
    EXPECT_TRUE(IsConsole(m_console));
    const DWORD before = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_QUICK_EDIT_MODE |
                         ENABLE_EXTENDED_FLAGS;
    ASSERT_TRUE(::SetConsoleMode(m_console, before));
    ASSERT_TRUE(::SetConsoleOutputCP(850));
    {
        CBatchConsole console;
        EXPECT_EQ(Mode() & ENABLE_QUICK_EDIT_MODE, 0u);
        EXPECT_EQ(Mode() & (ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT), static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
        EXPECT_EQ(::GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
        // The ending through _Exit gives them back before the destructor
        // would; the destructor after it changes nothing.
        console.Restore();
        EXPECT_EQ(Mode() & ENABLE_QUICK_EDIT_MODE, static_cast<DWORD>(ENABLE_QUICK_EDIT_MODE));
        EXPECT_EQ(::GetConsoleOutputCP(), 850u);
        ASSERT_TRUE(::SetConsoleOutputCP(437));
    }
    EXPECT_EQ(::GetConsoleOutputCP(), 437u);
    // A console without QuickEdit is left as it is.
    ASSERT_TRUE(::SetConsoleMode(m_console, ENABLE_PROCESSED_INPUT | ENABLE_EXTENDED_FLAGS));
    {
        CBatchConsole console;
        EXPECT_EQ(Mode() & ENABLE_QUICK_EDIT_MODE, 0u);
    }
    EXPECT_EQ(Mode() & ENABLE_QUICK_EDIT_MODE, 0u);
}

TEST_F(OwnConsole, EscapesOnStandardErrorWhereTheConsoleTakesThemAndTheModeGivenBack) {
    const HANDLE screen = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE);
    DWORD before = 0;
    ASSERT_TRUE(::GetConsoleMode(screen, &before));
    before &= ~static_cast<DWORD>(ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    ASSERT_TRUE(::SetConsoleMode(screen, before));
    ::SetStdHandle(STD_ERROR_HANDLE, screen);
    EXPECT_FALSE(DrawsEscapes(StandardStream::Error));
    {
        CBatchConsole console;
        DWORD during = 0;
        ASSERT_TRUE(::GetConsoleMode(screen, &during));
        // Lines are drawn in place only where the console took the mode.
        EXPECT_EQ(DrawsEscapes(StandardStream::Error), (during & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0);
        console.Restore();
    }
    DWORD after = 0;
    ASSERT_TRUE(::GetConsoleMode(screen, &after));
    EXPECT_EQ(after, before);
    ::SetStdHandle(STD_ERROR_HANDLE, m_error);
    ::CloseHandle(screen);
}

}  // namespace
}  // namespace pelican::test
