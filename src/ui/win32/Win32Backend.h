#pragma once
// Real windows on Windows: every dialog built from its template as an
// in-memory dialog template and run by the system's dialog manager; the
// system's message boxes and file dialogs; the progress window modeless,
// its bar a common-controls progress bar. One back end per program, on the
// thread that shows the windows.
#include <functional>
#include <utility>
#include <vector>

#include "ui/win32/WindowsApi.h"

namespace pelican::ui {

class CWin32DialogHost;

class CWin32Backend final : public IBackend {
public:
    // instance holds the application icon (resource 1); none: the program's
    // own module. Registers the progress bar's window class.
    explicit CWin32Backend(HINSTANCE instance = nullptr);
    ~CWin32Backend() override;
    CWin32Backend(const CWin32Backend&) = delete;
    CWin32Backend& operator=(const CWin32Backend&) = delete;

    int RunModal(CDialog& dialog) override;
    int MessageBox(const std::string& caption, const std::string& text, Icon icon) override;
    bool GetOpenFileName(const FileOpenRequest& request, std::string& path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    bool CreateModeless(CDialog& dialog) override;
    void DestroyModeless(CDialog& dialog) override;
    CDialog* ActiveDialog() override;
    void PumpMessages() override;
    void RepaintWindows() override;

    // The window of a dialog this back end shows (modal or modeless), or none.
    static HWND WindowOf(const CDialog& dialog);
    // The message box style of an icon.
    static UINT MessageBoxIconStyle(Icon icon);

    // Called with every modal window (dialog, message box, file dialog)
    // once it is shown and its own message loop runs, and with every
    // modeless window as it is shown: a test answers the windows through
    // these with real clicks and keys.
    std::function<void(HWND window)> m_onModalShown;
    std::function<void(HWND window)> m_onModelessShown;

    // From any thread: m_onWake runs on this back end's thread at its next
    // message loop step (an ending noted by the session or the console).
    void Wake();
    std::function<void()> m_onWake;

private:
    // While a window waits for the user the arrow shows over it, even inside
    // an operation that has put up the wait cursor.
    class CAsking;

    HWND OwnerWindow() const;
    void Dispatch(MSG& msg);
    void UpdateCursor();
    // Hosts of closed modeless windows go once no handler of theirs runs.
    void CollectClosing();
    // Tells m_onModalShown of the dialog windows shown until disarmed.
    void ArmAnnouncement();
    void DisarmAnnouncement();
    bool IsAnnounced(HWND window) const;
    static LRESULT CALLBACK MessageFilterProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK NoticeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    static CWin32Backend* s_active;

    HINSTANCE m_instance;
    HHOOK m_filterHook = nullptr;
    HHOOK m_showHook = nullptr;
    HWND m_notice = nullptr;
    // Modal calls running that tell m_onModalShown of their windows.
    int m_announcing = 0;
    std::vector<std::pair<CDialog*, CWin32DialogHost*>> m_modalStack;
    std::vector<std::pair<CDialog*, CWin32DialogHost*>> m_modeless;
    std::vector<CWin32DialogHost*> m_closing;
    int m_waitCursorDepth = 0;
    int m_askingDepth = 0;
};

}  // namespace pelican::ui
