#include "ui/UiBackend.h"

#include "ui/Messages.h"
#include "ui/scripted/ScriptedBackend.h"

namespace pelican::ui {
namespace {

IBackend* g_backend = nullptr;

IBackend& StandIn() {
    static CScriptedBackend standIn;
    return standIn;
}

}  // namespace

const char* IconWord(Icon icon) {
    switch (icon) {
        case Icon::Stop: return "stop";
        case Icon::Exclamation: return "exclamation";
        case Icon::Warning: return "warning";
        case Icon::Information: return "information";
        case Icon::None: break;
    }
    return "none";
}

IBackend& Backend() {
    return g_backend != nullptr ? *g_backend : StandIn();
}

void SetBackend(IBackend* backend) {
    g_backend = backend;
}

int MessageBox(const std::string& text, Icon icon) {
    return Backend().MessageBox(LoadString(IDS_CAPTION), text, icon);
}

void PumpMessages() {
    Backend().PumpMessages();
}

void RepaintWindows() {
    Backend().RepaintWindows();
}

CWaitCursor::CWaitCursor() {
    Backend().BeginWaitCursor();
}

CWaitCursor::~CWaitCursor() {
    Restore();
}

void CWaitCursor::Restore() {
    if (m_active) Backend().EndWaitCursor();
    m_active = false;
}

}  // namespace pelican::ui
