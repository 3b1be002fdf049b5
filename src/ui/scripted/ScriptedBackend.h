#pragma once
// A back end without windows: dialogs play a script of steps ("set control
// 1012 to C0010", "press OK") through the same data exchange and handlers as
// real windows; message boxes, file-open answers and progress windows are
// recorded. Tests assert on the records; batch mode answers from its options.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/Dialog.h"
#include "ui/UiBackend.h"

namespace pelican::ui {

struct MessageRecord {
    std::string caption;
    std::string text;
    Icon icon = Icon::None;
};

struct ScriptStep {
    enum class Kind { SetText, SetCheck, Press, Enter, Leave };
    Kind kind = Kind::Press;
    int dialogId = 0;  // template the step is meant for; 0 = whichever is active
    int control = 0;
    std::string text;
    int value = 0;
};

class CScriptedHost;

class CScriptedBackend : public IBackend {
public:
    CScriptedBackend();
    ~CScriptedBackend() override;

    // Script building; steps run in order against the active dialog.
    CScriptedBackend& SetText(int dialogId, int control, const std::string& text);
    CScriptedBackend& SetCheck(int dialogId, int control, int checked = 1);
    CScriptedBackend& Press(int dialogId, int control);
    CScriptedBackend& PressEnter(int dialogId);
    // The focus leaves a field after text was typed into it.
    CScriptedBackend& Leave(int dialogId, int control);
    // The next file-open dialog answers with this path (or is cancelled).
    CScriptedBackend& FileOpenAnswer(const std::string& path);
    CScriptedBackend& FileOpenCancel();
    // The open progress window is cancelled at the given pump (1 = first).
    CScriptedBackend& CancelProgressAtPump(int pump);

    // Called when a dialog needs a step and the script has none; it may add
    // steps. Without it (or if it adds none) the dialog gets Cancel.
    std::function<void(CDialog&)> m_onIdle;
    // Called for every message box as it is shown.
    std::function<void(const MessageRecord&)> m_onMessage;
    // Called for every pump (batch mode polls its interrupt flag here).
    std::function<void()> m_onPump;
    // Called whenever a progress bar of a modeless window moves: its title,
    // range, position and how many times it has moved since its range was set.
    std::function<void(const std::string& title, int low, int high, int pos, int moves)> m_onProgress;

    // Records.
    std::vector<MessageRecord> m_messages;
    std::vector<int> m_shownDialogs;       // template ids, modal and modeless, in order
    // Modeless windows opening and closing, and message boxes, in the order
    // they came: "open 136", "message Program error.", "close 136".
    std::vector<std::string> m_windowEvents;
    std::vector<std::string> m_problems;   // script mismatches, unscripted dialogs
    std::vector<FileOpenRequest> m_fileRequests;
    int m_waitCursorDepth = 0;
    int m_waitCursorShown = 0;
    int m_pumps = 0;
    int m_repaints = 0;
    // Every text given to each control of the modeless windows, one entry
    // per window as it closed.
    std::vector<std::map<int, std::vector<std::string>>> m_closedModelessTexts;
    // The controls of the most recently closed dialog of each template id.
    std::map<int, std::map<int, std::string>> m_lastTexts;
    // Their checks (menu check items included).
    std::map<int, std::map<int, int>> m_lastChecks;

    // A number for the innermost modal dialog, new for every showing.
    int CurrentShowing() const { return m_showings.empty() ? 0 : m_showings.back(); }
    bool ScriptDone() const { return m_steps.empty(); }
    const std::deque<ScriptStep>& Steps() const { return m_steps; }
    void ClearRecords();

    // The live host of a shown dialog (modeless included), for assertions.
    CScriptedHost* HostOf(const CDialog& dialog);

    int RunModal(CDialog& dialog) override;
    int MessageBox(const std::string& caption, const std::string& text, Icon icon) override;
    bool GetOpenFileName(const FileOpenRequest& request, std::string& path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    bool CreateModeless(CDialog& dialog) override;
    void DestroyModeless(CDialog& dialog) override;
    CDialog* ActiveDialog() override;
    void PumpMessages() override;
    void RepaintWindows() override { ++m_repaints; }

    // How many modeless windows (progress windows) are open now, and the
    // newest of them (none when none is open).
    size_t ModelessCount() const { return m_modeless.size(); }
    CDialog* LastModeless() const { return m_modeless.empty() ? nullptr : m_modeless.back().first; }

private:
    void Apply(CDialog& dialog, CScriptedHost& host, const ScriptStep& step);

    std::deque<ScriptStep> m_steps;
    std::deque<std::pair<bool, std::string>> m_fileAnswers;
    std::vector<CDialog*> m_modalStack;
    std::vector<int> m_showings;
    int m_showingCount = 0;
    std::vector<std::pair<CDialog*, std::unique_ptr<CScriptedHost>>> m_modeless;
    int m_cancelAtPump = 0;
};

// The controls of one dialog shown by the scripted back end.
class CScriptedHost final : public IDialogHost {
public:
    explicit CScriptedHost(const DialogTemplate& tmpl);

    std::string GetText(int id) override;
    void SetText(int id, const std::string& text) override;
    int GetCheck(int id) override;
    void SetCheck(int id, int checked) override;
    void EnableControl(int id, bool enable) override;
    void SetTitle(const std::string& title) override { m_title = title; }
    void SetRange(int id, int low, int high) override;
    void SetPos(int id, int pos) override;
    void End(int result) override;
    void EnableWindow(bool enable) override { m_enabled = enable; }
    bool IsWindowEnabled() override { return m_enabled; }

    struct Control {
        std::string text;
        int check = 0;
        bool enabled = true;
        int low = 0, high = 100, pos = 0;
        std::vector<int> positions;  // every position a progress bar was moved to
        std::vector<std::string> texts;  // every text the control was given
    };
    std::map<int, Control> m_controls;
    std::string m_title;
    std::function<void(const std::string&, int, int, int, int)> m_onProgress;
    bool m_ended = false;
    int m_result = IDCANCEL;
    bool m_enabled = true;

private:
    const DialogTemplate& m_template;
};

}  // namespace pelican::ui
