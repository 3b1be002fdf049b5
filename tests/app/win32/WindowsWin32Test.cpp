// Every template of the program opened by the Windows back end: each
// control by its place in the template with the class of its kind, at its
// dialog-unit rectangle, with its caption and enabled state; the main
// window's buttons and menu; the texts the dialogs put into their fields.
// With PELICAN_SNAPSHOT_DIR set, every window is captured there as a BMP.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "Win32TestSupport.h"
#include "app/AboutDlg.h"
#include "app/FirstSetDlg.h"
#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "commands/DownloadDlg.h"
#include "commands/PreEraseDlg.h"
#include "commands/PreWriteDlg.h"
#include "commands/SetAddressDlg.h"
#include "commands/StatesDlg.h"
#include "commands/VersionDlg.h"
#include "commands/IDCheckDlg.h"
#include "commands/SelectDlg.h"
#include "commands/SetCommDlg.h"
#include "support/SimBench.h"
#include "support/TempDir.h"
#include "ui/ProgressDlg.h"

namespace pelican::test {
namespace {

using namespace pelican::test::win32;
using ui::ControlKind;

struct CWindowsApp {
    CSimBench bench;
    CPelicanApp app{bench.MakeDevice(), bench.Clock()};
};

const char* ClassOfKind(ControlKind kind) {
    switch (kind) {
        case ControlKind::Edit: return "Edit";
        case ControlKind::Button:
        case ControlKind::GroupBox:
        case ControlKind::Radio:
        case ControlKind::CheckBox: return "Button";
        case ControlKind::ComboBox:
        case ControlKind::ComboList: return "ComboBox";
        case ControlKind::Progress: return "msctls_progress32";
        default: return "Static";
    }
}

// Every control of the template, in order, as the window holds it.
void ExpectEveryControl(HWND window, const ui::DialogTemplate& tmpl) {
    SCOPED_TRACE(tmpl.title);
    EXPECT_EQ(TextOf(window), tmpl.title);
    RECT size{0, 0, tmpl.cx, tmpl.cy};
    MapDialogRect(window, &size);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    HWND child = GetWindow(window, GW_CHILD);
    for (const auto& c : tmpl.controls) {
        ASSERT_NE(child, nullptr) << c.caption;
        EXPECT_EQ(ClassOf(child), ClassOfKind(c.kind)) << c.caption;
        EXPECT_EQ(GetDlgCtrlID(child), c.id) << c.caption;
        EXPECT_EQ(IsWindowEnabled(child) != 0, (c.style & ui::kDisabled) == 0) << c.caption;
        const bool captioned = c.kind == ControlKind::Button || c.kind == ControlKind::GroupBox ||
                               c.kind == ControlKind::Radio || c.kind == ControlKind::CheckBox ||
                               (c.kind == ControlKind::Static && c.id == ui::IDC_STATIC);
        if (captioned) {
            EXPECT_EQ(TextOf(child), c.caption);
        }
        // Position and size are converted each on its own, as the dialog
        // manager places controls.
        RECT at{c.x, c.y, c.cx, c.cy};
        MapDialogRect(window, &at);
        at.right += at.left;
        at.bottom += at.top;
        RECT is{};
        GetWindowRect(child, &is);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&is), 2);
        EXPECT_EQ(is.left, at.left) << c.caption;
        EXPECT_EQ(is.top, at.top) << c.caption;
        // A combo box is as high as its closed box, an icon as its image, an
        // etched line as its two lines.
        if (c.kind != ControlKind::ComboBox && c.kind != ControlKind::ComboList && c.kind != ControlKind::Icon &&
            c.kind != ControlKind::Etched) {
            EXPECT_EQ(is.right, at.right) << c.caption;
            EXPECT_EQ(is.bottom, at.bottom) << c.caption;
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
}

class WindowsWin32Test : public CWin32WindowTest {
protected:

    // Opens the dialog, lets check look at it, captures it when asked to,
    // and closes it.
    void Open(ui::CDialog& dialog, const std::string& picture, const std::function<void(HWND)>& check = {}) {
        CModalScript script(m_backend);
        script.Then([&](HWND window) {
            ExpectEveryControl(window, dialog.Template());
            if (check) check(window);
            if (const char* dir = std::getenv("PELICAN_SNAPSHOT_DIR")) {
                EXPECT_TRUE(CaptureWindow(window, std::string(dir) + "/" + picture + ".bmp"));
            }
            EndDialog(window, IDCANCEL);
        });
        dialog.DoModal(m_backend);
        EXPECT_EQ(script.Shown(), 1u) << picture;
    }

    CWindowsApp m_windows;
};

TEST_F(WindowsWin32Test, MainWindowWithItsButtonsAndMenu) {
    CPelicanDlg main(m_windows.app);
    Open(main, "main-window", [](HWND w) {
        EXPECT_NE(GetWindowLongPtrW(w, GWL_STYLE) & WS_MINIMIZEBOX, 0);
        EXPECT_EQ(GetWindow(w, GW_OWNER), nullptr);  // its own task-bar entry
        for (int id : {1005, 1006, 1007, 1034, 1010, 1008, 1009, 1000, 1015, 1063, 1064, 2})
            EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(w, id), GWL_STYLE) & 0xF, BS_PUSHBUTTON) << id;
        HMENU bar = GetMenu(w);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(GetMenuItemCount(bar), 2);
        EXPECT_EQ(GetMenuItemID(GetSubMenu(bar, 0), 1), static_cast<UINT>(CPelicanDlg::IDM_SKIPEMPTY));
        EXPECT_EQ(GetMenuItemID(GetSubMenu(bar, 1), 0), static_cast<UINT>(ui::kAboutCommand));
    });
}

TEST_F(WindowsWin32Test, EveryOtherTemplate) {
    CStatesDlg states;
    states.SetStatus(0x80, 0x0C);
    Open(states, "status");
    CVersionDlg version;
    version.SetVersion("V\xE9R.1.00");
    Open(version, "version", [](HWND w) {
        // The device's bytes show as single-byte characters.
        EXPECT_EQ(TextOf(GetDlgItem(w, CVersionDlg::IDC_VERSION)), "V\xC3\xA9R.1.00");
    });
    BoardSession session;
    CSetCommDlg setComm(session);
    setComm.SetBaudText(115200);
    Open(setComm, "set-baudrate");
    CS_PrgDlg select({"COM1", "COM2", "COM3", "COM4", "COM7"},
                     {{"COM7", "USB Serial Port (FTDI), serial A6008ISP"}});
    Open(select, "select-program", [](HWND w) {
        // The adapter's names beside its port, and the open list wide enough for them.
        HWND combo = GetDlgItem(w, CS_PrgDlg::IDC_PORT);
        ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 5);
        wchar_t entry[128] = {};
        SendMessageW(combo, CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(entry));
        EXPECT_EQ(std::wstring(entry), L"COM7 - USB Serial Port (FTDI), serial A6008ISP");
        RECT box{};
        GetWindowRect(combo, &box);
        EXPECT_GT(SendMessageW(combo, CB_GETDROPPEDWIDTH, 0, 0), box.right - box.left);
    });
    CFirstSetDlg firstSet;
    Open(firstSet, "first-set");
    CIDCheckDlg idCheck(m_windows.app);
    idCheck.m_filePath = "C:\\firmware\\prog.mot";
    idCheck.m_id = {"01", "02", "03", "04", "05", "06", "07"};
    Open(idCheck, "id-check");
    CSelectDlg fileSelect(m_windows.app);
    Open(fileSelect, "file-select");
    CPreEraseDlg preErase;
    Open(preErase, "erase");
    CAboutDlg about;
    Open(about, "about");
    CSetAddressDlg inputAddress(session);
    Open(inputAddress, "input-address");
    CDownloadDlg download;
    Open(download, "download");
    CPreWriteDlg preWrite;
    preWrite.SetRange("0C0000", "0C3FFF");
    Open(preWrite, "program-next-area");
}

void PumpWaiting() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// An ID is typed in one go: each field takes two characters, and the
// second hands the focus on to the next.
TEST_F(WindowsWin32Test, IdFieldsTakeTwoCharactersAndMoveOn) {
    CIDCheckDlg idCheck(m_windows.app);
    CModalScript script(m_backend);
    script.Then([](HWND w) {
        HWND first = GetDlgItem(w, CIDCheckDlg::IDC_ID1);
        EXPECT_EQ(SendMessageW(first, EM_GETLIMITTEXT, 0, 0), 2);
        SetFocus(first);
        for (const char c : std::string("01023")) {
            SendMessageW(GetFocus(), WM_CHAR, static_cast<WPARAM>(c), 1);
            PumpWaiting();
        }
        EXPECT_EQ(TextOf(first), "01");
        EXPECT_EQ(TextOf(GetDlgItem(w, CIDCheckDlg::IDC_ID1 + 1)), "02");
        EXPECT_EQ(TextOf(GetDlgItem(w, CIDCheckDlg::IDC_ID1 + 2)), "3");
        EXPECT_EQ(GetFocus(), GetDlgItem(w, CIDCheckDlg::IDC_ID1 + 2));
        EndDialog(w, IDCANCEL);
    });
    idCheck.DoModal(m_backend);
    EXPECT_EQ(script.Shown(), 1u);
}

// A path typed into "FilePath" is taken when the focus leaves it: the ".id"
// beside it fills the ID fields.
TEST_F(WindowsWin32Test, LeavingATypedPathFillsTheId) {
    CTempDir dir;
    dir.Write("prog.mot", "S2060C00001122BA\nS9030000FC\n");
    dir.Write("prog.id", "FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n");
    CIDCheckDlg idCheck(m_windows.app);
    CModalScript script(m_backend);
    script.Then([&dir](HWND w) {
        HWND path = GetDlgItem(w, CIDCheckDlg::IDC_FILEPATH);
        SetFocus(path);
        for (const char c : dir.File("prog.mot")) SendMessageW(path, WM_CHAR, static_cast<WPARAM>(c), 1);
        EXPECT_EQ(TextOf(GetDlgItem(w, CIDCheckDlg::IDC_ID1)), "");
        SetFocus(GetDlgItem(w, CIDCheckDlg::IDC_ID1));
        PumpWaiting();
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(TextOf(GetDlgItem(w, CIDCheckDlg::IDC_ID1 + i)), "0" + std::to_string(i + 1)) << i;
        EndDialog(w, IDCANCEL);
    });
    idCheck.DoModal(m_backend);
    EXPECT_EQ(script.Shown(), 1u);
}

TEST_F(WindowsWin32Test, ProgressWindow) {
    int cancel = 0;
    auto progress = ui::CProgressDlg::OpenProgress(m_backend, &cancel);
    ASSERT_NE(progress, nullptr);
    HWND window = ui::CWin32Backend::WindowOf(*progress);
    ExpectEveryControl(window, ui::CProgressDlg::Template136());
    progress->BeginProgress("Blank check.", "Blank Check", 0, 130, 0);
    progress->SetProgressPos(43);
    // BeginProgress replaced the template's title and message.
    EXPECT_EQ(TextOf(window), "Blank Check");
    m_backend.PumpMessages();
    if (const char* dir = std::getenv("PELICAN_SNAPSHOT_DIR")) {
        EXPECT_TRUE(CaptureWindow(window, std::string(dir) + "/progress.bmp"));
    }
    progress->CloseProgress();
    EXPECT_EQ(cancel, 1);
}

}  // namespace
}  // namespace pelican::test
