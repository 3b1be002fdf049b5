// The window program as a user drives it on the Windows back end: the real
// Win32 windows under Wine, answered with clicks and keys on their actual
// controls, against the in-memory board on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/AppBench.h"
#include "commands/PreWriteDlg.h"
#include "commands/SetAddressDlg.h"
#include "commands/IDCheckDlg.h"
#include "support/FrameEncoder.h"
#include "support/SRecordText.h"
// After every header that names ui::IDOK: windows.h makes it a macro.
#include "Win32TestSupport.h"

namespace pelican::test {
namespace {

using namespace pelican::test::win32;

const Bytes kFirst = {0x11, 0x22, 0x33};
const Bytes kSecond = {0x44};
// The close step from 9600 bps.
const Bytes kCloseStep = {0xB0, 0xB0, 0xB0};

struct CWin32WindowBench : CAppBench {
    CWin32WindowBench() {
        m_shownOn = &m_win32;
        m_app->SetUi(&m_win32);
        m_dir.Write("prog.mot", S2Record(0x0C0000, kFirst.data(), kFirst.size()) +
                                    S2Record(0x0C0100, kSecond.data(), kSecond.size()) + "S804000000FB\n");
    }

    ui::CWin32Backend m_win32;
    CModalScript m_user{m_win32};
};

TEST(WindowFlowWin32, FromSelectProgramToProgramOk) {
    CWin32WindowBench bench;
    HWND main = nullptr;
    std::vector<std::string> shown;
    bool mainDisabledUnderProgress = false;
    bench.m_win32.m_onModelessShown = [&](HWND progress) {
        mainDisabledUnderProgress = GetWindow(progress, GW_OWNER) == main && !IsWindowEnabled(main);
    };
    bench.m_user
        .Then([&](HWND select) {
            shown.push_back(TextOf(select));
            Click(GetDlgItem(select, CS_PrgDlg::IDC_FLASH));
            Click(GetDlgItem(select, IDOK));
        })
        .Then([&](HWND check) {
            shown.push_back(TextOf(check));
            Type(GetDlgItem(check, CIDCheckDlg::IDC_FILEPATH), bench.m_dir.File("prog.mot"));
            for (int i = 0; i < 7; ++i)
                Type(GetDlgItem(check, CIDCheckDlg::IDC_ID1 + i), "0" + std::to_string(i + 1));
            Click(GetDlgItem(check, CIDCheckDlg::IDC_ORCA_SP));
            Click(GetDlgItem(check, IDOK));
        })
        .Then([&](HWND window) {
            shown.push_back(TextOf(window));
            main = window;
            bench.m_sim.ClearReceived();
            // The click runs the whole command before it returns.
            SendMessageW(GetDlgItem(window, CPelicanDlg::IDC_PROGRAM), BM_CLICK, 0, 0);
            EXPECT_TRUE(IsWindowEnabled(window));
            Click(GetDlgItem(window, IDCANCEL));
        })
        .Then([&](HWND input) {
            shown.push_back(TextOf(input));
            Click(GetDlgItem(input, IDOK));
        })
        .Then([&](HWND confirm) {
            shown.push_back(TextOf(confirm));
            EXPECT_FALSE(IsWindowEnabled(main));
            EXPECT_EQ(TextOf(GetDlgItem(confirm, CPreWriteDlg::IDC_START)), "0C0000");
            EXPECT_EQ(TextOf(GetDlgItem(confirm, CPreWriteDlg::IDC_END)), "0C01FF");
            PressKey(confirm, VK_RETURN);
        })
        .Then([&](HWND box) {
            shown.push_back(MessageTextOf(box));
            EXPECT_EQ(GetWindow(box, GW_OWNER), main);
            PressKey(box, VK_RETURN);
        });
    bench.m_app->InitInstance();

    EXPECT_EQ(shown, (std::vector<std::string>{"Select Program", "ID Check", "Pelican", "Input Address", "Program",
                                               "Program OK."}));
    EXPECT_EQ(bench.m_user.Shown(), 6u);
    EXPECT_TRUE(mainDisabledUnderProgress);
    EXPECT_EQ(bench.m_app->m_idChecked, 1);
    // The probe, Clear status, each page with its status read, the last
    // status read, and Exit's return to 9600 bps.
    Bytes expected = {0x70, 0x50};
    for (const auto& [address, data] : {std::pair{0x0C0000u, kFirst}, std::pair{0x0C0100u, kSecond}}) {
        const Bytes frame = wire::PageProgram(address, data);
        expected.insert(expected.end(), frame.begin(), frame.end());
        expected.push_back(0x70);
    }
    expected.push_back(0x70);
    expected.insert(expected.end(), kCloseStep.begin(), kCloseStep.end());
    EXPECT_EQ(bench.m_sim.Received(), expected);
    EXPECT_EQ(bench.m_sim.Board().Peek(0x0C0000, 3), kFirst);
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}

}  // namespace
}  // namespace pelican::test
