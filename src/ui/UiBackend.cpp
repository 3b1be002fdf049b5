#include "ui/UiBackend.h"

#include "ui/Dialog.h"
#include "ui/Messages.h"

namespace pelican::ui {
namespace {

// Stands in until a back end is installed: every dialog is cancelled, every
// message is taken, nothing can block.
class CStandInBackend final : public IBackend {
public:
    int RunModal(CDialog&) override { return IDCANCEL; }
    int MessageBox(const std::string&, const std::string&, Icon) override { return IDOK; }
    bool GetOpenFileName(const FileOpenRequest&, std::string&) override { return false; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    bool CreateModeless(CDialog&) override { return false; }
    void DestroyModeless(CDialog&) override {}
    CDialog* ActiveDialog() override { return nullptr; }
    void PumpMessages() override {}
    void RepaintWindows() override {}
};

}  // namespace

IBackend& StandInBackend() {
    static CStandInBackend standIn;
    return standIn;
}

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

int MessageBox(IBackend& ui, const std::string& text, Icon icon) {
    return ui.MessageBox(LoadString(IDS_CAPTION), text, icon);
}

CWaitCursor::CWaitCursor(IBackend& ui) : m_ui(ui) {
    m_ui.BeginWaitCursor();
}

CWaitCursor::~CWaitCursor() {
    Restore();
}

void CWaitCursor::Restore() {
    if (m_active) m_ui.EndWaitCursor();
    m_active = false;
}

}  // namespace pelican::ui
