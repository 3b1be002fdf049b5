#include "ui/win32/Win32Backend.h"

#include <algorithm>
#include <memory>

#include "sys/win32/WideText.h"
#include "ui/win32/DialogTemplateBuilder.h"
#include "ui/win32/Win32DialogHost.h"
#include "ui/win32/Win32FileDialog.h"

namespace pelican::ui {

namespace {

// Posted to the notice window: wParam is a window just activated.
constexpr UINT kWindowShown = WM_APP + 1;
// Posted to the notice window by Wake.
constexpr UINT kWake = WM_APP + 2;
const wchar_t* const kNoticeClass = L"PelicanUiNotice";
// A message loop step takes what is waiting now, not what keeps arriving
// (a window that never validates its paint would hold the loop forever).
constexpr int kMostMessagesPerPump = 1000;

// A modal window over an owner that is disabled already (the main window
// while its command runs) must leave it disabled: some dialog managers
// enable the owner when the dialog ends, whatever state it had before.
class CKeepOwnerDisabled {
public:
    explicit CKeepOwnerDisabled(HWND owner)
        : m_owner(owner), m_wasDisabled(owner != nullptr && !IsWindowEnabled(owner)) {}
    ~CKeepOwnerDisabled() {
        if (m_wasDisabled && IsWindow(m_owner) && IsWindowEnabled(m_owner)) EnableWindow(m_owner, FALSE);
    }
    CKeepOwnerDisabled(const CKeepOwnerDisabled&) = delete;
    CKeepOwnerDisabled& operator=(const CKeepOwnerDisabled&) = delete;

private:
    HWND m_owner;
    bool m_wasDisabled;
};

}  // namespace

class CWin32Backend::CAsking {
public:
    explicit CAsking(CWin32Backend& backend) : m_backend(backend) {
        ++m_backend.m_askingDepth;
        m_backend.UpdateCursor();
    }
    ~CAsking() {
        --m_backend.m_askingDepth;
        m_backend.UpdateCursor();
    }
    CAsking(const CAsking&) = delete;
    CAsking& operator=(const CAsking&) = delete;

private:
    CWin32Backend& m_backend;
};

CWin32Backend* CWin32Backend::s_active = nullptr;

CWin32Backend::CWin32Backend(HINSTANCE instance)
    : m_instance(instance != nullptr ? instance : GetModuleHandleW(nullptr)) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    s_active = this;
    // The modal loops of dialogs and message boxes hand every message to
    // this filter before the dialog manager: Enter and Escape are decided
    // here, as the dialog class wants them.
    m_filterHook = SetWindowsHookExW(WH_MSGFILTER, MessageFilterProc, nullptr, GetCurrentThreadId());
    WNDCLASSW notice{};
    notice.lpfnWndProc = NoticeProc;
    notice.hInstance = m_instance;
    notice.lpszClassName = kNoticeClass;
    RegisterClassW(&notice);
    m_notice = CreateWindowExW(0, kNoticeClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, m_instance, nullptr);
}

CWin32Backend::~CWin32Backend() {
    for (auto& [dialog, host] : m_modeless) {
        host->Detach();
        delete host;
    }
    m_modeless.clear();
    for (CWin32DialogHost* host : m_closing) delete host;
    m_closing.clear();
    while (m_waitCursorDepth > 0) EndWaitCursor();
    if (m_showHook != nullptr) UnhookWindowsHookEx(m_showHook);
    if (m_filterHook != nullptr) UnhookWindowsHookEx(m_filterHook);
    if (m_notice != nullptr) DestroyWindow(m_notice);
    if (s_active == this) s_active = nullptr;
}

HWND CWin32Backend::WindowOf(const CDialog& dialog) {
    auto* host = dynamic_cast<CWin32DialogHost*>(dialog.Host());
    return host != nullptr ? host->Window() : nullptr;
}

UINT CWin32Backend::MessageBoxIconStyle(Icon icon) {
    switch (icon) {
        case Icon::Stop: return MB_ICONHAND;
        case Icon::Exclamation: return MB_ICONEXCLAMATION;
        case Icon::Warning: return MB_ICONWARNING;
        case Icon::Information: return MB_ICONINFORMATION;
        case Icon::None: break;
    }
    return 0;
}

HWND CWin32Backend::OwnerWindow() const {
    // The window the user is looking at, when it can take a question: a
    // message of a page loop belongs over its progress window.
    HWND active = GetActiveWindow();
    if (active != nullptr && IsWindowVisible(active) && IsWindowEnabled(active)) return active;
    for (auto it = m_modalStack.rbegin(); it != m_modalStack.rend(); ++it) {
        if (it->second->Window() != nullptr) return it->second->Window();
    }
    return active;
}

int CWin32Backend::RunModal(CDialog& dialog) {
    CAsking asking(*this);
    CollectClosing();
    auto host = std::make_unique<CWin32DialogHost>(dialog);
    host->SetModal(true);
    const std::vector<std::byte> bytes = CDialogTemplateBuilder::Build(dialog.Template());
    HWND owner = OwnerWindow();
    const CKeepOwnerDisabled keep(owner);
    m_modalStack.emplace_back(&dialog, host.get());
    ArmAnnouncement();
    // The system disables the owner while the dialog runs, and gives it
    // back the state it had.
    DialogBoxIndirectParamW(m_instance, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner,
                            CWin32DialogHost::DialogProc, reinterpret_cast<LPARAM>(host.get()));
    DisarmAnnouncement();
    m_modalStack.pop_back();
    const int result = host->Ended() ? host->Result() : IDCANCEL;
    host->Detach();
    return result;
}

int CWin32Backend::MessageBox(const std::string& caption, const std::string& text, Icon icon) {
    CAsking asking(*this);
    HWND owner = OwnerWindow();
    const CKeepOwnerDisabled keep(owner);
    ArmAnnouncement();
    MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), MB_OK | MessageBoxIconStyle(icon));
    DisarmAnnouncement();
    // One OK button: Escape and the close box answer OK as well.
    return IDOK;
}

bool CWin32Backend::GetOpenFileName(const FileOpenRequest& request, std::string& path) {
    CAsking asking(*this);
    HWND owner = OwnerWindow();
    const CKeepOwnerDisabled keep(owner);
    ArmAnnouncement();
    const bool chosen = ShowFileDialog(owner, request, path);
    DisarmAnnouncement();
    return chosen;
}

void CWin32Backend::BeginWaitCursor() {
    ++m_waitCursorDepth;
    UpdateCursor();
}

void CWin32Backend::EndWaitCursor() {
    // An unmatched end must not take away a cursor someone else set.
    if (m_waitCursorDepth == 0) return;
    --m_waitCursorDepth;
    UpdateCursor();
}

void CWin32Backend::UpdateCursor() {
    const bool wait = m_waitCursorDepth > 0 && m_askingDepth == 0;
    CWin32DialogHost::ShowWaitCursor(wait);
    SetCursor(LoadCursorW(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

bool CWin32Backend::CreateModeless(CDialog& dialog) {
    const auto shown = std::find_if(m_modeless.begin(), m_modeless.end(),
                                    [&dialog](const auto& entry) { return entry.first == &dialog; });
    if (shown != m_modeless.end()) return false;
    CollectClosing();
    auto* host = new CWin32DialogHost(dialog);
    m_modeless.emplace_back(&dialog, host);
    const std::vector<std::byte> bytes = CDialogTemplateBuilder::Build(dialog.Template());
    HWND hwnd = CreateDialogIndirectParamW(m_instance, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), OwnerWindow(),
                                           CWin32DialogHost::DialogProc, reinterpret_cast<LPARAM>(host));
    // OnInitDialog may already have destroyed the window (the host is then
    // among the closing ones).
    const auto entry = std::find_if(m_modeless.begin(), m_modeless.end(),
                                    [host](const auto& e) { return e.second == host; });
    if (hwnd == nullptr || host->Window() == nullptr) {
        if (entry != m_modeless.end()) {
            m_modeless.erase(entry);
            host->Detach();
            delete host;
        }
        return false;
    }
    if (host->Dialog() == &dialog && !host->Ended()) {
        ShowWindow(hwnd, SW_SHOW);
        if (m_onModelessShown) m_onModelessShown(hwnd);
    }
    return host->Dialog() == &dialog && dialog.Host() == host;
}

void CWin32Backend::DestroyModeless(CDialog& dialog) {
    const auto it = std::find_if(m_modeless.begin(), m_modeless.end(),
                                 [&dialog](const auto& entry) { return entry.first == &dialog; });
    if (it == m_modeless.end()) return;
    CWin32DialogHost* host = it->second;
    m_modeless.erase(it);
    // Often called from the window's own button or close handling, which is
    // still on the stack: the window goes now, its host once that returns.
    host->Detach();
    if (HWND hwnd = host->Window()) DestroyWindow(hwnd);
    m_closing.push_back(host);
    CollectClosing();
}

void CWin32Backend::CollectClosing() {
    const auto done = std::stable_partition(m_closing.begin(), m_closing.end(),
                                            [](const CWin32DialogHost* host) { return host->Busy(); });
    for (auto it = done; it != m_closing.end(); ++it) delete *it;
    m_closing.erase(done, m_closing.end());
}

CDialog* CWin32Backend::ActiveDialog() {
    return m_modalStack.empty() ? nullptr : m_modalStack.back().first;
}

void CWin32Backend::Dispatch(MSG& msg) {
    if (CWin32DialogHost::TranslateDialogKey(msg)) return;
    // Tab, the arrow keys and mnemonics of the modeless window (and of a
    // modal one whose loop waits behind this one).
    if (CWin32DialogHost* host = CWin32DialogHost::FromWindow(msg.hwnd)) {
        if (host->Window() != nullptr && IsDialogMessageW(host->Window(), &msg)) return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void CWin32Backend::PumpMessages() {
    MSG msg;
    for (int i = 0; i < kMostMessagesPerPump && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            // The quit belongs to the outer loop: it is asked for again, and
            // takes effect once that loop sees it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        Dispatch(msg);
    }
    CollectClosing();
}

void CWin32Backend::RepaintWindows() {
    // Paint and the messages other programs send go through; mouse and keys
    // wait in the queue. A close request may come as a sent message, so the
    // windows refuse every input of their own while this runs.
    const bool blocked = CWin32DialogHost::InputBlocked();
    CWin32DialogHost::BlockInput(true);
    MSG msg;
    for (int i = 0; i < kMostMessagesPerPump &&
                    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE);
         ++i) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        DispatchMessageW(&msg);
    }
    CWin32DialogHost::BlockInput(blocked);
}

void CWin32Backend::ArmAnnouncement() {
    if (!m_onModalShown) return;
    if (m_showHook == nullptr)
        m_showHook = SetWindowsHookExW(WH_CALLWNDPROC, CallWndProc, nullptr, GetCurrentThreadId());
    ++m_announcing;
}

void CWin32Backend::DisarmAnnouncement() {
    if (m_announcing > 0) --m_announcing;
}

bool CWin32Backend::IsAnnounced(HWND window) const {
    // Dialog windows only (dialogs, message boxes, the file dialogs, the
    // questions they ask), and not the progress window, which is told
    // when CreateModeless shows it.
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") != 0) return false;
    return std::none_of(m_modeless.begin(), m_modeless.end(),
                        [window](const auto& entry) { return entry.second->Window() == window; });
}

LRESULT CALLBACK CWin32Backend::MessageFilterProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && lParam != 0 &&
        CWin32DialogHost::TranslateDialogKey(*reinterpret_cast<const MSG*>(lParam)))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CWin32Backend::CallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    CWin32Backend* backend = s_active;
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    // A dialog is activated while it initialises, still hidden; the system
    // shows it once its loop has nothing else to do. Every dialog window
    // shown while a modal call runs is told, also the questions the
    // system's own dialogs ask.
    if (code == HC_ACTION && call != nullptr && call->message == WM_SHOWWINDOW && call->wParam != 0 &&
        backend != nullptr && backend->m_announcing > 0 && !(GetWindowLongPtrW(call->hwnd, GWL_STYLE) & WS_CHILD) &&
        backend->IsAnnounced(call->hwnd)) {
        // Told from the window's own loop once it runs, through the notice
        // window: the window is shown by then.
        PostMessageW(backend->m_notice, kWindowShown, reinterpret_cast<WPARAM>(call->hwnd), 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CWin32Backend::Wake() {
    if (m_notice != nullptr) PostMessageW(m_notice, kWake, 0, 0);
}

LRESULT CALLBACK CWin32Backend::NoticeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWake) {
        CWin32Backend* backend = s_active;
        if (backend != nullptr && backend->m_onWake) backend->m_onWake();
        return 0;
    }
    if (message == kWindowShown) {
        auto* shown = reinterpret_cast<HWND>(wParam);
        CWin32Backend* backend = s_active;
        if (backend != nullptr && IsWindow(shown) && IsWindowVisible(shown) && backend->m_onModalShown)
            backend->m_onModalShown(shown);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace pelican::ui
