#include "ui/win32/Win32DialogHost.h"

#include <algorithm>

#include "sys/win32/WideText.h"
#include "ui/win32/DialogMenu.h"
#include "ui/win32/WindowDpi.h"

namespace pelican::ui {

namespace {

// Posted by a change of DPI: the dialog manager has rescaled the dialog and
// its controls' fonts by the time it comes.
constexpr UINT kRedoSizes = WM_APP + 16;

std::string WindowText(HWND hwnd) {
    if (hwnd == nullptr) return {};
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return Narrow(text);
}

bool IsComboBox(HWND hwnd) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    return lstrcmpiW(name, L"ComboBox") == 0;
}

}  // namespace

bool CWin32DialogHost::s_inputBlocked = false;
bool CWin32DialogHost::s_waitCursor = false;
std::map<HWND, CWin32DialogHost*> CWin32DialogHost::s_windows;

CWin32DialogHost::CWin32DialogHost(CDialog& dialog) : m_dialog(&dialog) {}

CWin32DialogHost::~CWin32DialogHost() {
    Detach();
    if (m_hwnd != nullptr) DestroyWindow(m_hwnd);
}

CWin32DialogHost* CWin32DialogHost::FromWindow(HWND hwnd) {
    if (hwnd == nullptr) return nullptr;
    auto it = s_windows.find(GetAncestor(hwnd, GA_ROOT));
    return it != s_windows.end() ? it->second : nullptr;
}

INT_PTR CALLBACK CWin32DialogHost::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWin32DialogHost* host = nullptr;
    if (message == WM_INITDIALOG) {
        host = reinterpret_cast<CWin32DialogHost*>(lParam);
        host->m_hwnd = hwnd;
        s_windows[hwnd] = host;
        SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(host));
    } else {
        host = reinterpret_cast<CWin32DialogHost*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (host == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        s_windows.erase(hwnd);
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        host->m_hwnd = nullptr;
        host->m_menu = nullptr;  // destroyed with its window
        host->m_scale.DestroyIcons();
        return FALSE;
    }
    ++host->m_busy;
    const INT_PTR result = host->Handle(message, wParam, lParam);
    --host->m_busy;
    return result;
}

INT_PTR CWin32DialogHost::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return InitDialog();
        case WM_COMMAND:
            Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_CLOSE:
            // The close box: the dialog decides whether it closes.
            if (Accepting()) m_dialog->OnCancel();
            return TRUE;
        case WM_DPICHANGED:
            // The window moved to a monitor of another scale (or its scale
            // changed): the dialog manager resizes the window and its
            // controls and gives them fonts of the new size after this
            // returns; what was sized here follows then. The DPI is the
            // message's: the window's own may not have changed yet.
            m_scale.Changed(LOWORD(wParam));
            PostMessageW(m_hwnd, kRedoSizes, 0, 0);
            return FALSE;
        case kRedoSizes:
            m_scale.Redo(m_hwnd, m_dialog->Template());
            return TRUE;
        case WM_SETCURSOR:
            if (!s_waitCursor) return FALSE;
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            if (m_hwnd != nullptr) SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_ACTIVATE:
            // Back from a window that had this one disabled: the keyboard
            // goes on where it was.
            if (LOWORD(wParam) != WA_INACTIVE && m_focusBeforeDisable != nullptr &&
                ::IsWindowEnabled(m_hwnd) && IsWindow(m_focusBeforeDisable)) {
                SetFocus(m_focusBeforeDisable);
                m_focusBeforeDisable = nullptr;
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
    }
}

INT_PTR CWin32DialogHost::InitDialog() {
    if (m_dialog == nullptr) return TRUE;
    m_previousHost = m_dialog->Host();
    m_dialog->Attach(this);
    for (const auto& control : m_dialog->Template().controls) {
        if (control.kind == ControlKind::Edit && (control.style & kByteField))
            SendDlgItemMessageW(m_hwnd, control.id, EM_LIMITTEXT, 2, 0);
        if (control.kind != ControlKind::ComboBox && control.kind != ControlKind::ComboList) continue;
        for (const auto& entry : control.items)
            SendDlgItemMessageW(m_hwnd, control.id, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(Widen(entry).c_str()));
    }
    m_scale.Begin(m_hwnd, m_dialog->Template());
    AddMenu();
    CDialog* dialog = m_dialog;
    return dialog->OnInitDialog() ? TRUE : FALSE;
}

void CWin32DialogHost::AddMenu() {
    const uint32_t style = m_dialog->Template().style;
    m_menu = CreateDialogMenu(style);
    if (m_menu == nullptr) return;
    m_hasSkipPages = (style & kFileMenu) && (style & kSkipPagesItem);
    // The menu bar takes its height from the window, not from the dialog's
    // own area: the window grows by it, and stays centred when it was.
    RECT client{};
    GetClientRect(m_hwnd, &client);
    SetMenu(m_hwnd, m_menu);
    RECT before{};
    GetWindowRect(m_hwnd, &before);
    RECT wanted = client;
    AdjustWindowRectForDpi(wanted, m_hwnd, TRUE, m_scale.Dpi());
    const int width = wanted.right - wanted.left;
    const int height = wanted.bottom - wanted.top;
    int top = before.top;
    if (style & kCentered) top -= (height - (before.bottom - before.top)) / 2;
    SetWindowPos(m_hwnd, nullptr, before.left, std::max(0, top), width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    // Still short (a menu bar that wraps): grow by what is missing.
    CWindowScale::GrowToClientHeight(m_hwnd, client.bottom);
}

void CWin32DialogHost::Command(int id, int code, HWND control) {
    if (control == nullptr) {
        if (m_menu != nullptr && (id == kAboutCommand || id == kSaveFlashCommand || id == kSkipEmptyPagesCommand)) {
            Press(id);
            // The dialog decides the check, also when the window took no input.
            if (id == kSkipEmptyPagesCommand && m_menu != nullptr)
                CheckMenuItem(m_menu, kSkipEmptyPagesCommand,
                              MF_BYCOMMAND | (m_skipPagesChecked ? MF_CHECKED : MF_UNCHECKED));
        } else if (id == IDCANCEL) {
            // The dialog manager's own Escape, should one pass the filter.
            Press(IDCANCEL);
        }
        return;
    }
    const ControlTemplate* pressed = Control(id);
    if (code == BN_CLICKED && pressed != nullptr && pressed->kind == ControlKind::Button) Press(id);
    // A byte field filled by the keyboard (not by the dialog's own texts)
    // hands the focus on, so that an ID is typed in one go.
    // Typed text only: what the dialog sets leaves the flag clear.
    if (code == EN_KILLFOCUS && pressed != nullptr && (pressed->style & kNotifyLeave) &&
        SendMessageW(control, EM_GETMODIFY, 0, 0) != 0 && Accepting()) {
        SendMessageW(control, EM_SETMODIFY, FALSE, 0);
        m_dialog->OnFieldLeft(id);
        return;
    }
    if (code == EN_CHANGE && pressed != nullptr && (pressed->style & kByteField) && GetFocus() == control &&
        GetWindowTextLengthW(control) >= 2)
        PostMessageW(m_hwnd, WM_NEXTDLGCTL, 0, FALSE);
}

void CWin32DialogHost::Press(int id) {
    if (!Accepting()) return;
    // The handler may destroy this window and the dialog itself; nothing of
    // the dialog is touched after it, and the host outlives the call.
    ++m_busy;
    CDialog* dialog = m_dialog;
    if (id == IDOK)
        dialog->OnOK();
    else if (id == IDCANCEL)
        dialog->OnCancel();
    else
        dialog->OnCommand(id);
    --m_busy;
}

bool CWin32DialogHost::TranslateDialogKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE)) return false;
    CWin32DialogHost* host = FromWindow(msg.hwnd);
    return host != nullptr && host->TakeKey(msg);
}

bool CWin32DialogHost::TakeKey(const MSG& msg) {
    // The control of this window that holds the keyboard (the edit field of
    // a combo box counts as the combo box).
    HWND child = msg.hwnd;
    while (child != nullptr && GetParent(child) != m_hwnd) child = GetParent(child);
    // An open drop-down list takes Enter and Escape to close itself.
    if (child != nullptr && IsComboBox(child) && SendMessageW(child, CB_GETDROPPEDSTATE, 0, 0)) return false;
    // The dialog class decides what Escape and Enter do; with a modifier
    // they do nothing.
    if (GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return true;
    if (!Accepting()) return true;
    ++m_busy;
    CDialog* dialog = m_dialog;
    if (msg.wParam == VK_ESCAPE) {
        dialog->OnCancel();
    } else {
        const int id = child != nullptr ? GetDlgCtrlID(child) : 0;
        const ControlTemplate* focused = child != nullptr ? Control(id) : nullptr;
        if (focused != nullptr && focused->kind == ControlKind::Button) {
            // Enter on a focused push button presses that button, whichever
            // is the default, as keyboard users expect.
            if (::IsWindowEnabled(child) && dialog->EnterPressesFocusedButton()) Press(id);
        } else if (DefaultButtonEnabled()) {
            dialog->OnEnterKey();
        }
    }
    --m_busy;
    return true;
}

bool CWin32DialogHost::DefaultButtonEnabled() const {
    if (m_dialog == nullptr) return false;
    for (const auto& control : m_dialog->Template().controls) {
        if (control.kind == ControlKind::Button && (control.style & kDefault))
            return ::IsWindowEnabled(GetDlgItem(m_hwnd, control.id)) != 0;
    }
    return false;
}

const ControlTemplate* CWin32DialogHost::Control(int id) const {
    return m_dialog != nullptr ? m_dialog->Template().Find(id) : nullptr;
}

bool CWin32DialogHost::Accepting() const {
    return m_dialog != nullptr && !m_ended && m_hwnd != nullptr && ::IsWindowEnabled(m_hwnd) && !s_inputBlocked;
}

void CWin32DialogHost::Detach() {
    if (m_dialog != nullptr && m_dialog->Host() == this) m_dialog->Attach(m_previousHost);
    m_dialog = nullptr;
}

std::string CWin32DialogHost::GetText(int id) {
    if (Control(id) == nullptr) return {};
    return WindowText(GetDlgItem(m_hwnd, id));
}

void CWin32DialogHost::SetText(int id, const std::string& text) {
    const ControlTemplate* control = Control(id);
    if (control == nullptr) return;
    const std::wstring value = Widen(text);
    if (control->kind == ControlKind::ComboList) {
        // Selects the matching entry (whole text first, then the first entry
        // starting with it); without one the selection stays.
        const auto find = [&](UINT how) {
            return SendDlgItemMessageW(m_hwnd, id, how, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(value.c_str()));
        };
        LRESULT index = find(CB_FINDSTRINGEXACT);
        if (index == CB_ERR && !value.empty()) index = find(CB_FINDSTRING);
        if (index != CB_ERR) SendDlgItemMessageW(m_hwnd, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return;
    }
    SetDlgItemTextW(m_hwnd, id, value.c_str());
}

int CWin32DialogHost::GetCheck(int id) {
    if (id == kSkipEmptyPagesCommand && m_hasSkipPages) return m_skipPagesChecked ? 1 : 0;
    const ControlTemplate* control = Control(id);
    if (control == nullptr || (control->kind != ControlKind::Radio && control->kind != ControlKind::CheckBox))
        return 0;
    return IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED ? 1 : 0;
}

void CWin32DialogHost::SetCheck(int id, int checked) {
    if (id == kSkipEmptyPagesCommand && m_hasSkipPages) {
        m_skipPagesChecked = checked != 0;
        if (m_menu != nullptr)
            CheckMenuItem(m_menu, kSkipEmptyPagesCommand,
                          MF_BYCOMMAND | (m_skipPagesChecked ? MF_CHECKED : MF_UNCHECKED));
        return;
    }
    const ControlTemplate* control = Control(id);
    if (control == nullptr || (control->kind != ControlKind::Radio && control->kind != ControlKind::CheckBox)) return;
    CheckDlgButton(m_hwnd, id, checked != 0 ? BST_CHECKED : BST_UNCHECKED);
}

void CWin32DialogHost::EnableControl(int id, bool enable) {
    if (Control(id) != nullptr) ::EnableWindow(GetDlgItem(m_hwnd, id), enable ? TRUE : FALSE);
}

void CWin32DialogHost::SetTitle(const std::string& title) {
    SetWindowTextW(m_hwnd, Widen(title).c_str());
}

void CWin32DialogHost::SetRange(int id, int low, int high) {
    const ControlTemplate* control = Control(id);
    if (control == nullptr || control->kind != ControlKind::Progress) return;
    Range& range = m_ranges[id];
    range.low = low;
    range.high = std::max(low, high);
    SendDlgItemMessageW(m_hwnd, id, PBM_SETRANGE32, static_cast<WPARAM>(range.low), range.high);
    SendDlgItemMessageW(m_hwnd, id, PBM_SETPOS, static_cast<WPARAM>(range.low), 0);
}

void CWin32DialogHost::SetPos(int id, int pos) {
    const ControlTemplate* control = Control(id);
    if (control == nullptr || control->kind != ControlKind::Progress) return;
    const Range range = m_ranges.count(id) != 0 ? m_ranges[id] : Range{};
    SendDlgItemMessageW(m_hwnd, id, PBM_SETPOS, static_cast<WPARAM>(std::clamp(pos, range.low, range.high)), 0);
}

void CWin32DialogHost::End(int result) {
    m_ended = true;
    m_result = result;
    if (m_hwnd == nullptr) return;
    if (m_modal)
        ::EndDialog(m_hwnd, result);
    else
        ShowWindow(m_hwnd, SW_HIDE);
}

void CWin32DialogHost::EnableWindow(bool enable) {
    if (m_hwnd == nullptr) return;
    // Disabling takes the keyboard focus off the controls; it comes back with
    // the window, so that the keyboard goes on where it was.
    if (!enable && ::IsWindowEnabled(m_hwnd)) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(m_hwnd, focus)) m_focusBeforeDisable = focus;
    }
    ::EnableWindow(m_hwnd, enable ? TRUE : FALSE);
    if (enable && m_focusBeforeDisable != nullptr && GetActiveWindow() == m_hwnd) {
        if (IsWindow(m_focusBeforeDisable)) SetFocus(m_focusBeforeDisable);
        m_focusBeforeDisable = nullptr;
    }
}

bool CWin32DialogHost::IsWindowEnabled() {
    return m_hwnd != nullptr && ::IsWindowEnabled(m_hwnd) != 0;
}

}  // namespace pelican::ui
