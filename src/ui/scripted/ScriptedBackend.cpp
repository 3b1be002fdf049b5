#include "ui/scripted/ScriptedBackend.h"

#include <algorithm>

namespace pelican::ui {

// ---- host -----------------------------------------------------------------

CScriptedHost::CScriptedHost(const DialogTemplate& tmpl) : m_title(tmpl.title), m_template(tmpl) {
    for (const auto& control : tmpl.controls) {
        if (control.id == IDC_STATIC) continue;
        Control& state = m_controls[control.id];
        // Edit fields and lists start empty; labels and buttons show their caption.
        if (control.kind != ControlKind::Edit && control.kind != ControlKind::ComboBox &&
            control.kind != ControlKind::ComboList)
            state.text = control.caption;
        state.enabled = (control.style & kDisabled) == 0;
    }
}

std::string CScriptedHost::GetText(int id) {
    return m_controls[id].text;
}

void CScriptedHost::SetText(int id, const std::string& text) {
    m_controls[id].text = text;
    m_controls[id].texts.push_back(text);
}

int CScriptedHost::GetCheck(int id) {
    return m_controls[id].check;
}

void CScriptedHost::SetCheck(int id, int checked) {
    const auto& controls = m_template.controls;
    auto it = std::find_if(controls.begin(), controls.end(),
                           [id](const ControlTemplate& c) { return c.id == id; });
    if (checked && it != controls.end() && it->kind == ControlKind::Radio) {
        // Automatic radio buttons: checking one clears the rest of its group.
        auto first = it;
        while (first != controls.begin() && !(first->style & kGroup) &&
               std::prev(first)->kind == ControlKind::Radio)
            --first;
        for (auto r = first; r != controls.end() && r->kind == ControlKind::Radio; ++r) {
            if (r != first && (r->style & kGroup)) break;
            m_controls[r->id].check = 0;
        }
    }
    m_controls[id].check = checked;
}

void CScriptedHost::EnableControl(int id, bool enable) {
    m_controls[id].enabled = enable;
}

void CScriptedHost::SetRange(int id, int low, int high) {
    m_controls[id].low = low;
    m_controls[id].high = high;
    m_controls[id].pos = low;
    m_controls[id].positions.clear();
}

void CScriptedHost::SetPos(int id, int pos) {
    Control& bar = m_controls[id];
    bar.pos = pos;
    bar.positions.push_back(pos);
    if (m_onProgress) m_onProgress(m_title, bar.low, bar.high, pos, static_cast<int>(bar.positions.size()));
}

void CScriptedHost::End(int result) {
    m_ended = true;
    m_result = result;
}

// ---- back end ---------------------------------------------------------------

CScriptedBackend::CScriptedBackend() = default;
CScriptedBackend::~CScriptedBackend() = default;

CScriptedBackend& CScriptedBackend::SetText(int dialogId, int control, const std::string& text) {
    m_steps.push_back({ScriptStep::Kind::SetText, dialogId, control, text, 0});
    return *this;
}

CScriptedBackend& CScriptedBackend::SetCheck(int dialogId, int control, int checked) {
    m_steps.push_back({ScriptStep::Kind::SetCheck, dialogId, control, {}, checked});
    return *this;
}

CScriptedBackend& CScriptedBackend::Press(int dialogId, int control) {
    m_steps.push_back({ScriptStep::Kind::Press, dialogId, control, {}, 0});
    return *this;
}

CScriptedBackend& CScriptedBackend::PressEnter(int dialogId) {
    m_steps.push_back({ScriptStep::Kind::Enter, dialogId, 0, {}, 0});
    return *this;
}

CScriptedBackend& CScriptedBackend::Leave(int dialogId, int control) {
    m_steps.push_back({ScriptStep::Kind::Leave, dialogId, control, {}, 0});
    return *this;
}

CScriptedBackend& CScriptedBackend::FileOpenAnswer(const std::string& path) {
    m_fileAnswers.emplace_back(true, path);
    return *this;
}

CScriptedBackend& CScriptedBackend::FileOpenCancel() {
    m_fileAnswers.emplace_back(false, std::string());
    return *this;
}

CScriptedBackend& CScriptedBackend::CancelProgressAtPump(int pump) {
    m_cancelAtPump = m_pumps + pump;
    return *this;
}

void CScriptedBackend::ClearRecords() {
    m_messages.clear();
    m_shownDialogs.clear();
    m_windowEvents.clear();
    m_closedModelessTexts.clear();
    m_problems.clear();
    m_fileRequests.clear();
    m_waitCursorShown = 0;
}

CScriptedHost* CScriptedBackend::HostOf(const CDialog& dialog) {
    return static_cast<CScriptedHost*>(dialog.Host());
}

void CScriptedBackend::Apply(CDialog& dialog, CScriptedHost& host, const ScriptStep& step) {
    switch (step.kind) {
        case ScriptStep::Kind::SetText: host.SetText(step.control, step.text); break;
        case ScriptStep::Kind::SetCheck: host.SetCheck(step.control, step.value); break;
        case ScriptStep::Kind::Enter: dialog.OnEnterKey(); break;
        case ScriptStep::Kind::Leave: dialog.OnFieldLeft(step.control); break;
        case ScriptStep::Kind::Press: {
            // Only a button that exists and is enabled can be pressed, as on
            // screen; OK and Cancel also stand for Enter/Escape and the menu
            // command for the window's menu entry.
            const uint32_t style = dialog.Template().style;
            const bool menu = (step.control == kAboutCommand && (style & kAboutMenu)) ||
                              (step.control == kSaveFlashCommand && (style & kFileMenu)) ||
                              (step.control == kSkipEmptyPagesCommand && (style & kSkipPagesItem));
            const bool exists = menu || step.control == IDCANCEL || dialog.Template().Find(step.control) != nullptr;
            auto state = host.m_controls.find(step.control);
            const bool enabled = state == host.m_controls.end() || state->second.enabled;
            if (!exists || !enabled) {
                m_problems.push_back("pressed " + std::string(exists ? "disabled" : "missing") + " control " +
                                     std::to_string(step.control) + " in dialog " +
                                     std::to_string(dialog.Template().id));
            } else if (step.control == IDOK) {
                dialog.OnOK();
            } else if (step.control == IDCANCEL) {
                dialog.OnCancel();
            } else {
                dialog.OnCommand(step.control);
            }
            break;
        }
    }
}

int CScriptedBackend::RunModal(CDialog& dialog) {
    const int id = dialog.Template().id;
    m_shownDialogs.push_back(id);
    CScriptedHost host(dialog.Template());
    IDialogHost* previous = dialog.Host();
    dialog.Attach(&host);
    m_modalStack.push_back(&dialog);
    m_showings.push_back(++m_showingCount);
    dialog.OnInitDialog();
    while (!host.m_ended) {
        if (m_steps.empty() && m_onIdle) m_onIdle(dialog);
        if (m_steps.empty()) {
            m_problems.push_back("dialog " + std::to_string(id) + " had no script; cancelled");
            dialog.OnCancel();
            if (!host.m_ended) host.End(IDCANCEL);
            break;
        }
        const ScriptStep step = m_steps.front();
        if (step.dialogId != 0 && step.dialogId != id) {
            // The script expected another dialog: end this one rather than
            // guess, and leave the step for the dialog it names.
            m_problems.push_back("dialog " + std::to_string(id) + " shown where the script expected " +
                                 std::to_string(step.dialogId));
            host.End(IDCANCEL);
            break;
        }
        m_steps.pop_front();
        Apply(dialog, host, step);
    }
    auto& texts = m_lastTexts[id];
    texts.clear();
    auto& checks = m_lastChecks[id];
    checks.clear();
    for (const auto& [control, state] : host.m_controls) {
        texts[control] = state.text;
        checks[control] = state.check;
    }
    m_modalStack.pop_back();
    m_showings.pop_back();
    dialog.Attach(previous);
    return host.m_result;
}

int CScriptedBackend::MessageBox(const std::string& caption, const std::string& text, Icon icon) {
    m_messages.push_back({caption, text, icon});
    m_windowEvents.push_back("message " + text);
    if (m_onMessage) m_onMessage(m_messages.back());
    return IDOK;
}

bool CScriptedBackend::GetOpenFileName(const FileOpenRequest& request, std::string& path) {
    m_fileRequests.push_back(request);
    if (m_fileAnswers.empty()) return false;
    auto [chosen, answer] = m_fileAnswers.front();
    m_fileAnswers.pop_front();
    if (chosen) path = answer;
    return chosen;
}

void CScriptedBackend::BeginWaitCursor() {
    ++m_waitCursorDepth;
    ++m_waitCursorShown;
}

void CScriptedBackend::EndWaitCursor() {
    if (m_waitCursorDepth > 0) --m_waitCursorDepth;
}

bool CScriptedBackend::CreateModeless(CDialog& dialog) {
    m_shownDialogs.push_back(dialog.Template().id);
    m_windowEvents.push_back("open " + std::to_string(dialog.Template().id));
    auto host = std::make_unique<CScriptedHost>(dialog.Template());
    host->m_onProgress = m_onProgress;
    dialog.Attach(host.get());
    m_modeless.emplace_back(&dialog, std::move(host));
    dialog.OnInitDialog();
    return true;
}

void CScriptedBackend::DestroyModeless(CDialog& dialog) {
    auto it = std::find_if(m_modeless.begin(), m_modeless.end(),
                           [&dialog](const auto& entry) { return entry.first == &dialog; });
    if (it == m_modeless.end()) return;
    auto& texts = m_closedModelessTexts.emplace_back();
    for (const auto& [control, state] : it->second->m_controls) {
        if (!state.texts.empty()) texts[control] = state.texts;
    }
    dialog.Attach(nullptr);
    m_modeless.erase(it);
    m_windowEvents.push_back("close " + std::to_string(dialog.Template().id));
}

CDialog* CScriptedBackend::ActiveDialog() {
    return m_modalStack.empty() ? nullptr : m_modalStack.back();
}

void CScriptedBackend::PumpMessages() {
    ++m_pumps;
    if (m_onPump) m_onPump();
    if (m_cancelAtPump != 0 && m_pumps >= m_cancelAtPump && !m_modeless.empty()) {
        m_cancelAtPump = 0;
        m_modeless.back().first->OnCancel();
    }
}

}  // namespace pelican::ui
