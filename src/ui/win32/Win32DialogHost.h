#pragma once
// The window of one shown dialog: a Windows dialog created from the
// dialog's template, with data exchange by control id through the dialog
// manager, and the window's buttons, menu, keys and close box turned into
// calls of the dialog's handlers.
#include <map>
#include <string>

#include "ui/Dialog.h"
#include "ui/win32/WindowScale.h"
#include "ui/win32/WindowsApi.h"

namespace pelican::ui {

class CWin32DialogHost final : public IDialogHost {
public:
    explicit CWin32DialogHost(CDialog& dialog);
    ~CWin32DialogHost() override;
    CWin32DialogHost(const CWin32DialogHost&) = delete;
    CWin32DialogHost& operator=(const CWin32DialogHost&) = delete;

    // The dialog procedure of every window of this back end; the host comes
    // as the creation parameter.
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The host of one of this back end's windows (or of a window inside
    // one), else none.
    static CWin32DialogHost* FromWindow(HWND hwnd);

    // Enter and Escape for one of this back end's windows, before the
    // dialog manager sees them: true when the key was taken.
    static bool TranslateDialogKey(const MSG& msg);

    // While set, no window takes a button press, key, menu command or close
    // request: the windows only repaint (a wait for the device is running).
    static void BlockInput(bool block) { s_inputBlocked = block; }
    static bool InputBlocked() { return s_inputBlocked; }
    // The wait cursor over every window of this back end.
    static void ShowWaitCursor(bool wait) { s_waitCursor = wait; }

    // Gives the dialog back its previous host; from then on nothing of the
    // window reaches the dialog any more.
    void Detach();
    CDialog* Dialog() const { return m_dialog; }
    HWND Window() const { return m_hwnd; }
    bool Ended() const { return m_ended; }
    int Result() const { return m_result; }
    // A handler of this window is running (the host may not go yet).
    bool Busy() const { return m_busy > 0; }
    void SetModal(bool modal) { m_modal = modal; }

    // IDialogHost
    std::string GetText(int id) override;
    void SetText(int id, const std::string& text) override;
    int GetCheck(int id) override;
    void SetCheck(int id, int checked) override;
    void EnableControl(int id, bool enable) override;
    void SetTitle(const std::string& title) override;
    void SetRange(int id, int low, int high) override;
    void SetPos(int id, int pos) override;
    void End(int result) override;
    void EnableWindow(bool enable) override;
    bool IsWindowEnabled() override;

private:
    struct Range {
        int low = 0, high = 100;
    };

    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR InitDialog();
    void AddMenu();
    void Command(int id, int code, HWND control);
    // A press of button id: OK, Cancel or another command of the dialog.
    void Press(int id);
    bool TakeKey(const MSG& msg);
    bool DefaultButtonEnabled() const;
    const ControlTemplate* Control(int id) const;
    bool Accepting() const;

    static bool s_inputBlocked;
    static bool s_waitCursor;
    static std::map<HWND, CWin32DialogHost*> s_windows;

    CDialog* m_dialog;
    IDialogHost* m_previousHost = nullptr;
    HWND m_hwnd = nullptr;
    HMENU m_menu = nullptr;
    bool m_modal = false;
    bool m_ended = false;
    int m_result = IDCANCEL;
    int m_busy = 0;
    std::map<int, Range> m_ranges;
    // The File menu's check item, when the template has it, and its check
    // as the dialog last set it.
    bool m_hasSkipPages = false;
    bool m_skipPagesChecked = false;
    HWND m_focusBeforeDisable = nullptr;
    // The icons and the lists' widths at the monitor's scale.
    CWindowScale m_scale;
};

}  // namespace pelican::ui
