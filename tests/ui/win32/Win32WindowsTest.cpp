// Real windows of the Windows back end: a dialog with one control of every
// kind, found by id with its class, caption and state; data exchange both
// ways; keys and clicks posted to the actual controls; Enter and Escape as
// the dialog class wants them; a second dialog over the first; the menu;
// what the window sizes itself when it moves to a monitor of another scale.
#include <gtest/gtest.h>

#include <vector>

#include "IdEntryDlg.h"
#include "SampleDlg.h"
#include "Win32TestSupport.h"

namespace pelican::test {
namespace {

using namespace pelican::ui;
using namespace pelican::test::win32;
using S = CSampleDlg;

class Win32WindowsTest : public CWin32WindowTest {};

LONG_PTR StyleOf(HWND hwnd) {
    return GetWindowLongPtrW(hwnd, GWL_STYLE);
}

// An icon's width in pixels.
LONG IconWidth(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

TEST_F(Win32WindowsTest, ControlsByIdAndDataBothWays) {
    CSampleDlg dlg;
    dlg.m_target = 1;
    dlg.m_verify = 1;
    CModalScript script(m_backend);
    script.Then([&](HWND w) {
        EXPECT_EQ(TextOf(w), "Connection");
        const struct {
            int id;
            const char* cls;
            const char* caption;
        } controls[] = {
            {S::kTargetFlash, "Button", "&Internal flash"}, {S::kTargetBoot, "Button", "&Boot loader"},
            {S::kPort, "ComboBox", "COM1"},                 {S::kRate, "ComboBox", "19200"},
            {S::kVerify, "Button", "&Verify after program"}, {S::kId, "Edit", ""},
            {S::kFile, "Edit", "sample.mot"},               {S::kBar, "msctls_progress32", ""},
            {S::kNote, "Static", "Save & exit"},            {IDOK, "Button", "OK"},
            {IDCANCEL, "Button", "Cancel"},                 {S::kRefer, "Button", "&Refer..."},
        };
        for (const auto& c : controls) {
            HWND control = GetDlgItem(w, c.id);
            ASSERT_NE(control, nullptr) << c.id;
            EXPECT_EQ(ClassOf(control), c.cls) << c.id;
            EXPECT_EQ(TextOf(control), c.caption) << c.id;
            EXPECT_TRUE(IsWindowEnabled(control)) << c.id;
            EXPECT_TRUE(IsWindowVisible(control)) << c.id;
        }
        EXPECT_EQ(StyleOf(GetDlgItem(w, IDOK)) & 0xF, BS_DEFPUSHBUTTON);
        EXPECT_EQ(StyleOf(GetDlgItem(w, S::kFile)) & ES_READONLY, ES_READONLY);
        EXPECT_EQ(StyleOf(GetDlgItem(w, S::kRate)) & 0x3, CBS_DROPDOWNLIST);
        EXPECT_EQ(SendDlgItemMessageW(w, S::kRate, CB_GETCOUNT, 0, 0), 5);
        EXPECT_EQ(SendDlgItemMessageW(w, S::kRate, CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(IsDlgButtonChecked(w, S::kTargetFlash), static_cast<UINT>(BST_UNCHECKED));
        EXPECT_EQ(IsDlgButtonChecked(w, S::kTargetBoot), static_cast<UINT>(BST_CHECKED));
        EXPECT_EQ(IsDlgButtonChecked(w, S::kVerify), static_cast<UINT>(BST_CHECKED));
        EXPECT_EQ(SendDlgItemMessageW(w, S::kBar, PBM_GETPOS, 0, 0), 65);
        EXPECT_EQ(SendDlgItemMessageW(w, S::kBar, PBM_GETRANGE, FALSE, 0), 130);
        // The dialog's area is the template's size in its font's units.
        RECT size{0, 0, S::Template().cx, S::Template().cy};
        MapDialogRect(w, &size);
        RECT client{};
        GetClientRect(w, &client);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);
        // What the user does: the other radio, the check box off, an ID
        // typed, another port typed over the old one, the next rate.
        Click(GetDlgItem(w, S::kTargetFlash));
        Click(GetDlgItem(w, S::kVerify));
        Type(GetDlgItem(w, S::kId), "C0010");
        HWND portEdit = GetWindow(GetDlgItem(w, S::kPort), GW_CHILD);
        PostMessageW(portEdit, EM_SETSEL, 0, -1);
        Type(portEdit, "COM7");
        PostMessageW(GetDlgItem(w, S::kRate), WM_KEYDOWN, VK_DOWN, 1);
        // Enter in the ID field presses the default button.
        SetFocus(GetDlgItem(w, S::kId));
        PressKey(w, VK_RETURN);
    });
    EXPECT_EQ(dlg.DoModal(m_backend), IDOK);
    EXPECT_EQ(script.Shown(), 1u);
    EXPECT_EQ(dlg.m_okCalls, 1);
    EXPECT_EQ(dlg.m_target, 0);
    EXPECT_EQ(dlg.m_verify, 0);
    EXPECT_EQ(dlg.m_id, "C0010");
    EXPECT_EQ(dlg.m_port, "COM7");
    EXPECT_EQ(dlg.m_rate, "38400");
    EXPECT_FALSE(dlg.IsShown());
}

TEST_F(Win32WindowsTest, OkRefusesAnEmptyIdWithItsMessage) {
    CSampleDlg dlg;
    HWND window = nullptr;
    CModalScript script(m_backend);
    script.Then([&](HWND w) {
              window = w;
              PressKey(w, VK_RETURN);
          })
        .Then([&](HWND box) {
            EXPECT_EQ(TextOf(box), "Pelican");
            EXPECT_EQ(MessageTextOf(box), "Enter the ID.");
            EXPECT_EQ(GetWindow(box, GW_OWNER), window);
            EXPECT_FALSE(IsWindowEnabled(window));
            // Enter answers the box; the dialog stays open until Escape.
            PressKey(box, VK_RETURN);
            PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 1);
        });
    EXPECT_EQ(dlg.DoModal(m_backend), IDCANCEL);
    EXPECT_EQ(script.Shown(), 2u);
    EXPECT_EQ(dlg.m_okCalls, 1);
    EXPECT_EQ(dlg.m_cancelCalls, 1);
}

TEST_F(Win32WindowsTest, EnterPressesTheFocusedButtonAndNothingWithoutADefault) {
    {
        CSampleDlg dlg;
        CModalScript script(m_backend);
        script.Then([&](HWND w) {
            SetFocus(GetDlgItem(w, IDCANCEL));
            PressKey(w, VK_RETURN);
        });
        EXPECT_EQ(dlg.DoModal(m_backend), IDCANCEL);
        EXPECT_EQ(dlg.m_okCalls, 0);
        EXPECT_EQ(dlg.m_cancelCalls, 1);
    }
    {
        CSampleDlg dlg(CSampleDlg::TemplateWithoutDefault());
        dlg.m_id = "C0010";
        CModalScript script(m_backend);
        script.Then([&](HWND w) {
            SetFocus(GetDlgItem(w, S::kId));
            PressKey(w, VK_RETURN);
            CloseBox(w);
        });
        EXPECT_EQ(dlg.DoModal(m_backend), IDCANCEL);
        EXPECT_EQ(dlg.m_okCalls, 0);
        EXPECT_EQ(dlg.m_cancelCalls, 1);
    }
}

TEST_F(Win32WindowsTest, EscapeAndTheCloseBoxAskTheDialog) {
    CSampleDlg dlg;
    dlg.m_refuseCancel = true;
    CModalScript script(m_backend);
    script.Then([&](HWND w) {
        PressKey(w, VK_ESCAPE);
        CloseBox(w);
        // Both reached OnCancel, which refused; the window is still there.
        PostMessageW(GetDlgItem(w, S::kId), WM_CHAR, L'7', 1);
        Click(GetDlgItem(w, IDOK));
    });
    EXPECT_EQ(dlg.DoModal(m_backend), IDOK);
    EXPECT_EQ(dlg.m_cancelCalls, 2);
    EXPECT_EQ(dlg.m_id, "7");
}

TEST_F(Win32WindowsTest, ASecondDialogRunsOverTheFirst) {
    CSampleDlg dlg;
    HWND outer = nullptr;
    CModalScript script(m_backend);
    script.Then([&](HWND w) {
              outer = w;
              Click(GetDlgItem(w, S::kRefer));
          })
        .Then([&](HWND inner) {
            EXPECT_EQ(GetWindow(inner, GW_OWNER), outer);
            EXPECT_FALSE(IsWindowEnabled(outer));
            EXPECT_EQ(m_backend.ActiveDialog() != &dlg, true);
            Type(GetDlgItem(inner, CIdEntryDlg::kText), "ABC");
            PressKey(inner, VK_RETURN);
            Click(GetDlgItem(outer, IDOK));
        });
    EXPECT_EQ(dlg.DoModal(m_backend), IDOK);
    EXPECT_EQ(dlg.m_referResult, IDOK);
    EXPECT_TRUE(dlg.m_innerWasActive);
    EXPECT_EQ(dlg.m_activeAfterRefer, &dlg);
    EXPECT_EQ(dlg.m_id, "ABC");
    EXPECT_EQ(m_backend.ActiveDialog(), nullptr);
}

TEST_F(Win32WindowsTest, AWindowDisabledByItsDialogStaysDisabledUnderAQuestion) {
    // The main window while its command runs: a message box over it must
    // not give it back its input when it closes.
    CSampleDlg dlg;
    bool disabledAfter = false;
    CModalScript script(m_backend);
    script.Then([&](HWND w) {
              dlg.Host()->EnableWindow(false);
              ui::MessageBox(m_backend, "Erase OK.", Icon::Information);
              disabledAfter = !IsWindowEnabled(w);
              dlg.Host()->EnableWindow(true);
              PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 1);
          })
        .Then([&](HWND box) { PressKey(box, VK_RETURN); });
    EXPECT_EQ(dlg.DoModal(m_backend), IDCANCEL);
    EXPECT_EQ(script.Shown(), 2u);
    EXPECT_TRUE(disabledAfter);
}

// A window with the main window's menu that records its commands.
class CMenuDlg : public CDialog {
public:
    static DialogTemplate Template() {
        DialogTemplate t;
        t.title = "Menu";
        t.cx = 120;
        t.cy = 40;
        t.style = kSystemMenu | kCentered | kMinimizeBox | kAboutMenu | kFileMenu | kSkipPagesItem;
        t.controls = {{ControlKind::Button, IDCANCEL, "Exit", 35, 20, 50, 14, 0, {}}};
        return t;
    }
    CMenuDlg() : CDialog(Template()) {}
    void OnCommand(int id) override {
        m_commands.push_back(id);
        if (id == kSkipEmptyPagesCommand) Host()->SetCheck(id, Host()->GetCheck(id) ? 0 : 1);
    }
    void OnCancel() override {
        HMENU menu = GetMenu(CWin32Backend::WindowOf(*this));
        m_checkedAtEnd = (GetMenuState(menu, kSkipEmptyPagesCommand, MF_BYCOMMAND) & MF_CHECKED) != 0;
        m_readAtEnd = Host()->GetCheck(kSkipEmptyPagesCommand);
        CDialog::OnCancel();
    }
    std::vector<int> m_commands;
    bool m_checkedAtEnd = false;
    int m_readAtEnd = -1;
};

std::string MenuText(HMENU menu, UINT position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    std::string narrow;
    for (const wchar_t* c = text; *c != 0; ++c) narrow += static_cast<char>(*c);
    return narrow;
}

TEST_F(Win32WindowsTest, TheMenuSendsItsCommandsAndShowsTheDialogsCheck) {
    CMenuDlg dlg;
    CModalScript script(m_backend);
    script.Then([&](HWND w) {
        HMENU bar = GetMenu(w);
        ASSERT_NE(bar, nullptr);
        ASSERT_EQ(GetMenuItemCount(bar), 2);
        EXPECT_EQ(MenuText(bar, 0), "&File");
        EXPECT_EQ(MenuText(bar, 1), "&Help");
        HMENU file = GetSubMenu(bar, 0);
        ASSERT_EQ(GetMenuItemCount(file), 2);
        EXPECT_EQ(MenuText(file, 0), "&Save flash to file...");
        EXPECT_EQ(MenuText(file, 1), "S&kip pages without data");
        EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(kSaveFlashCommand));
        EXPECT_EQ(GetMenuItemID(file, 1), static_cast<UINT>(kSkipEmptyPagesCommand));
        EXPECT_EQ(GetMenuState(file, 1, MF_BYPOSITION) & MF_CHECKED, 0u);
        HMENU help = GetSubMenu(bar, 1);
        EXPECT_EQ(MenuText(help, 0), "&About Pelican...");
        EXPECT_EQ(GetMenuItemID(help, 0), static_cast<UINT>(kAboutCommand));
        EXPECT_NE(StyleOf(w) & WS_MINIMIZEBOX, 0);
        // The menu bar sits above the dialog's own area, which keeps its size.
        RECT size{0, 0, 120, 40};
        MapDialogRect(w, &size);
        RECT client{};
        GetClientRect(w, &client);
        EXPECT_EQ(client.bottom, size.bottom);
        // Menu choices as the system sends them.
        PostMessageW(w, WM_COMMAND, MAKEWPARAM(kAboutCommand, 0), 0);
        PostMessageW(w, WM_COMMAND, MAKEWPARAM(kSkipEmptyPagesCommand, 0), 0);
        PostMessageW(w, WM_COMMAND, MAKEWPARAM(kSaveFlashCommand, 0), 0);
        PressKey(w, VK_ESCAPE);
    });
    EXPECT_EQ(dlg.DoModal(m_backend), IDCANCEL);
    EXPECT_EQ(dlg.m_commands, (std::vector<int>{kAboutCommand, kSkipEmptyPagesCommand, kSaveFlashCommand}));
    EXPECT_TRUE(dlg.m_checkedAtEnd);
    EXPECT_EQ(dlg.m_readAtEnd, 1);
}

TEST_F(Win32WindowsTest, MessageBoxesShowTheirIcons) {
    const std::pair<Icon, LPCWSTR> icons[] = {{Icon::Stop, IDI_HAND},
                                              {Icon::Exclamation, IDI_EXCLAMATION},
                                              {Icon::Information, IDI_ASTERISK}};
    for (const auto& [icon, system] : icons) {
        HICON shown = nullptr;
        std::string text;
        CModalScript script(m_backend);
        script.Then([&](HWND box) {
            text = MessageTextOf(box);
            EnumChildWindows(
                box,
                [](HWND child, LPARAM found) -> BOOL {
                    if (ClassOf(child) != "Static" || (StyleOf(child) & SS_TYPEMASK) != SS_ICON) return TRUE;
                    *reinterpret_cast<HICON*>(found) =
                        reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&shown));
            PressKey(box, VK_ESCAPE);
        });
        EXPECT_EQ(ui::MessageBox(m_backend, "Program OK.", icon), IDOK);
        EXPECT_EQ(text, "Program OK.");
        EXPECT_EQ(shown, LoadIconW(nullptr, system)) << IconWord(icon);
    }
}

TEST_F(Win32WindowsTest, IconsAndOpenListsFollowTheScaleOfTheMonitor) {
    // Windows tells a window that moved to a monitor of another scale with
    // WM_DPICHANGED and rescales the dialog and its fonts itself; the icons,
    // the open lists' widths and the room for the menu bar are the window's
    // own. Wine sends no such
    // message and keeps the fonts: it is sent here, and a list's width
    // changes by its scroll bar and margin only (a scroll bar 17 pixels
    // wide at 100 %, a margin of 8). Wine never narrows an open list once
    // widened: the scales only grow here.
    struct Scale {
        UINT dpi;
        LONG big, small;  // the icons' widths
        LRESULT wider;    // than the open list at first, at 100 %
    };
    const Scale scales[] = {{96, 32, 16, 0}, {144, 48, 24, 9 + 4}, {192, 64, 32, 17 + 8}};
    CSampleDlg dlg;
    CModalScript script(m_backend);
    script.Then([&](HWND w) {
        HWND rate = GetDlgItem(w, S::kRate);
        HWND icon = GetDlgItem(w, IDC_STATIC);
        ASSERT_EQ(StyleOf(icon) & SS_TYPEMASK, SS_ICON);
        // An entry wider than the box, as a port with its adapter's names.
        SendMessageW(rate, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"COM12 USB Serial Port (FTDI), serial A6008isP"));
        LRESULT atFirst = 0;
        for (const Scale& scale : scales) {
            // Sized short, as a window whose menu bar takes more room at
            // the new scale than the old one scaled.
            RECT suggested{};
            GetWindowRect(w, &suggested);
            suggested.bottom -= 20;
            SetWindowPos(w, nullptr, 0, 0, suggested.right - suggested.left, suggested.bottom - suggested.top,
                         SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
            SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(scale.dpi, scale.dpi), reinterpret_cast<LPARAM>(&suggested));
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            const auto shown = [&](HWND window, UINT message, WPARAM which) {
                return IconWidth(reinterpret_cast<HICON>(SendMessageW(window, message, which, 0)));
            };
            EXPECT_EQ(shown(w, WM_GETICON, ICON_BIG), scale.big) << scale.dpi;
            EXPECT_EQ(shown(w, WM_GETICON, ICON_SMALL), scale.small) << scale.dpi;
            EXPECT_EQ(shown(icon, STM_GETICON, 0), scale.big) << scale.dpi;
            RECT area{0, 0, S::Template().cx, S::Template().cy};
            MapDialogRect(w, &area);
            RECT client{};
            GetClientRect(w, &client);
            EXPECT_EQ(client.bottom, area.bottom) << scale.dpi;
            if (atFirst == 0) atFirst = SendMessageW(rate, CB_GETDROPPEDWIDTH, 0, 0);
            EXPECT_EQ(SendMessageW(rate, CB_GETDROPPEDWIDTH, 0, 0) - atFirst, scale.wider) << scale.dpi;
        }
        CloseBox(w);
    });
    EXPECT_EQ(dlg.DoModal(m_backend), IDCANCEL);
}

}  // namespace
}  // namespace pelican::test
