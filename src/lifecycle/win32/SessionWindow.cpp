#include "lifecycle/win32/SessionWindow.h"

namespace pelican {
namespace {

constexpr const wchar_t* kClass = L"PelicanSession";
// Posted by SetBusy: the reason is shown or taken back on the window's
// own thread, the only one allowed to.
constexpr UINT kBusyChanged = WM_APP + 1;

}  // namespace

const wchar_t* const CSessionWindow::kReason =
    L"Pelican is working on a board: ending now can leave it half programmed at the high rate.";

CSessionWindow::CSessionWindow()
    : m_ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_finished(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    m_thread = std::thread([this] { Run(); });
    ::WaitForSingleObject(m_ready, INFINITE);
}

CSessionWindow::~CSessionWindow() {
    // A message waiting for the program's end answers now.
    ::SetEvent(m_finished);
    if (m_hwnd != nullptr) ::PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    if (m_thread.joinable()) m_thread.join();
    ::CloseHandle(m_ready);
    ::CloseHandle(m_finished);
}

void CSessionWindow::SetBusy(bool busy) {
    m_busy = busy;
    if (m_hwnd != nullptr) ::PostMessageW(m_hwnd, kBusyChanged, 0, 0);
}

void CSessionWindow::Run() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClass;
    ::RegisterClassW(&windowClass);
    // Top-level (a message-only window is not sent the session's messages)
    // and never shown.
    const HWND hwnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, kClass, L"Pelican", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        instance, this);
    if (hwnd == nullptr) m_hwnd = nullptr;
    ::SetEvent(m_ready);
    if (hwnd == nullptr) return;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK CSessionWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CSessionWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CSessionWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

void CSessionWindow::ShowReason(bool show) {
    if (show == m_reasonShown) return;
    m_reasonShown = show;
    if (show)
        ::ShutdownBlockReasonCreate(m_hwnd, kReason);
    else
        ::ShutdownBlockReasonDestroy(m_hwnd);
}

LRESULT CSessionWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kBusyChanged: ShowReason(m_busy.load()); return 0;
        case WM_QUERYENDSESSION:
            // The board's job that runs now may not have been told yet: this
            // message comes before the posted one.
            ShowReason(m_busy.load());
            // A forced end ("Shut down anyway", a critical end) cannot be
            // refused; a yes makes sure WM_ENDSESSION follows with the end
            // confirmed, so that the board is returned in the time left.
            if ((static_cast<DWORD>(lParam) & ENDSESSION_CRITICAL) != 0) return TRUE;
            return m_busy.load() ? FALSE : TRUE;
        case WM_ENDSESSION:
            if (wParam != FALSE) {
                NoteSessionEnding();
                ::WaitForSingleObject(m_finished, m_endWaitMs.load());
            } else {
                // Cancelled: the reason stays only while a board is in work.
                ShowReason(m_busy.load());
            }
            return 0;
        case WM_CLOSE:
            ShowReason(false);
            ::DestroyWindow(m_hwnd);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default: return ::DefWindowProcW(m_hwnd, message, wParam, lParam);
    }
}

}  // namespace pelican
