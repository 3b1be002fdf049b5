// The progress window on the Windows back end: modeless over a disabled
// owner, its bar and texts, Cancel, Escape and the close box, Enter doing
// nothing, a window that deletes itself in its own handler, the message
// steps that let input through or only paint, the wait cursor.
#include <gtest/gtest.h>

#include "ProgressTestDlg.h"
#include "SampleDlg.h"
#include "Win32TestSupport.h"
#include "ui/ProgressDlg.h"

namespace pelican::test {
namespace {

using namespace pelican::ui;
using namespace pelican::test::win32;

class Win32ProgressTest : public CWin32WindowTest {};

TEST_F(Win32ProgressTest, BarTextsAndCancelOverADisabledOwner) {
    CSampleDlg dlg;
    CModalScript script(m_backend);
    script.Then([&](HWND owner) {
        int cancel = 0;
        auto progress = CProgressDlg::OpenProgress(m_backend, &cancel);
        ASSERT_NE(progress, nullptr);
        HWND window = CWin32Backend::WindowOf(*progress);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(GetWindow(window, GW_OWNER), owner);
        EXPECT_FALSE(IsWindowEnabled(owner));
        EXPECT_TRUE(IsWindowEnabled(window));
        progress->BeginProgress("Blank check.", "Blank Check", 0, 130, 0);
        progress->SetProgressPos(43);
        EXPECT_EQ(TextOf(window), "Blank Check");
        EXPECT_EQ(TextOf(GetDlgItem(window, CProgressDlg::IDC_MESSAGE)), "Blank check.");
        HWND bar = GetDlgItem(window, CProgressDlg::IDC_PROGRESS);
        EXPECT_EQ(ClassOf(bar), "msctls_progress32");
        EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 43);
        EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 0);
        EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 130);
        // Past the end the bar stops there.
        progress->SetProgressPos(500);
        EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 130);
        HWND cancelButton = GetDlgItem(window, IDCANCEL);
        EXPECT_EQ(TextOf(cancelButton), "Cancel");
        // Enter does nothing, not even on the focused Cancel.
        SetFocus(cancelButton);
        PressKey(window, VK_RETURN);
        m_backend.PumpMessages();
        EXPECT_EQ(cancel, 0);
        EXPECT_TRUE(IsWindow(window));
        Click(cancelButton);
        m_backend.PumpMessages();
        EXPECT_EQ(cancel, 1);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_FALSE(progress->IsOpen());
        EXPECT_TRUE(IsWindowEnabled(owner));
        // Harmless once the window is gone.
        progress->SetProgressPos(5);
        progress->CloseProgress();
        PostMessageW(owner, WM_KEYDOWN, VK_ESCAPE, 1);
    });
    EXPECT_EQ(dlg.DoModal(m_backend), IDCANCEL);
    EXPECT_EQ(script.Shown(), 1u);
}

TEST_F(Win32ProgressTest, EscapeAndTheCloseBoxCancelAsTheButtonDoes) {
    for (const bool escape : {true, false}) {
        int cancel = 0;
        auto progress = CProgressDlg::OpenProgress(m_backend, &cancel);
        ASSERT_NE(progress, nullptr);
        HWND window = CWin32Backend::WindowOf(*progress);
        if (escape)
            PostMessageW(GetDlgItem(window, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 1);
        else
            CloseBox(window);
        m_backend.PumpMessages();
        EXPECT_EQ(cancel, 1) << escape;
        EXPECT_FALSE(IsWindow(window)) << escape;
    }
    // Closed by the loop: the flag is set as well.
    int cancel = 0;
    auto progress = CProgressDlg::OpenProgress(m_backend, &cancel);
    ASSERT_NE(progress, nullptr);
    HWND window = CWin32Backend::WindowOf(*progress);
    progress->CloseProgress();
    EXPECT_EQ(cancel, 1);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Win32ProgressTest, AWindowThatDeletesItselfInItsCancel) {
    int cancel = 0;
    auto* dlg = new CProgressTestDlg(m_backend, cancel, true);
    ASSERT_TRUE(m_backend.CreateModeless(*dlg));
    HWND window = CWin32Backend::WindowOf(*dlg);
    EXPECT_EQ(m_backend.CreateModeless(*dlg), false);  // shown already
    Click(GetDlgItem(window, IDCANCEL));
    m_backend.PumpMessages();
    EXPECT_EQ(cancel, 1);
    EXPECT_EQ(CProgressTestDlg::s_alive, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Win32ProgressTest, RepaintingLetsNoInputThrough) {
    int cancel = 0;
    auto progress = CProgressDlg::OpenProgress(m_backend, &cancel);
    ASSERT_NE(progress, nullptr);
    HWND window = CWin32Backend::WindowOf(*progress);
    progress->BeginProgress("Program.", "Program", 0, 10, 0);
    Click(GetDlgItem(window, IDCANCEL));
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 1);
    InvalidateRect(window, nullptr, TRUE);
    m_backend.RepaintWindows();
    EXPECT_EQ(cancel, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));  // painted
    // The click waited in the queue; the next message step delivers it.
    m_backend.PumpMessages();
    EXPECT_EQ(cancel, 1);
}

TEST_F(Win32ProgressTest, AQuitRequestIsLeftForTheOuterLoop) {
    PostQuitMessage(3);
    m_backend.PumpMessages();
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Win32ProgressTest, TheWaitCursorNestsAndGivesWayToQuestions) {
    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    {
        CWaitCursor outer(m_backend);
        EXPECT_EQ(GetCursor(), wait);
        {
            CWaitCursor inner(m_backend);
            EXPECT_EQ(GetCursor(), wait);
        }
        EXPECT_EQ(GetCursor(), wait);
        HCURSOR whileAsking = nullptr;
        CModalScript script(m_backend);
        script.Then([&](HWND box) {
            whileAsking = GetCursor();
            PressKey(box, VK_RETURN);
        });
        ui::MessageBox(m_backend, "Erase OK.", Icon::Information);
        EXPECT_EQ(whileAsking, arrow);
        EXPECT_EQ(GetCursor(), wait);
    }
    EXPECT_EQ(GetCursor(), arrow);
    m_backend.EndWaitCursor();  // unmatched: nothing happens
    EXPECT_EQ(GetCursor(), arrow);
}

}  // namespace
}  // namespace pelican::test
