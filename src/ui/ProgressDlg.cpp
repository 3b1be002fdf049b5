#include "ui/ProgressDlg.h"

#include <algorithm>

#include "ui/UiBackend.h"

namespace pelican::ui {
namespace {

// The bar control takes 16-bit positions.
int BarValue(int value) {
    return std::clamp(value, 0, 65535);
}

}  // namespace

const DialogTemplate& CProgressDlg::Template136() {
    // Title and message are placeholders: BeginProgress replaces both before
    // the user gets to see them.
    static const DialogTemplate tmpl{
        IDD,
        "Titel",
        186,
        105,
        "MS Sans Serif",
        8,
        kSystemMenu | kCentered,
        {
            {ControlKind::Progress, IDC_PROGRESS, "", 8, 14, 170, 15, kBorder, {}},
            {ControlKind::Static, IDC_MESSAGE, "Message", 8, 35, 170, 26, kCenter | kNoPrefix, {}},
            {ControlKind::Static, IDC_NOTE, "", 8, 63, 170, 10, kCenter | kNoPrefix, {}},
            {ControlKind::Etched, IDC_STATIC, "", 8, 77, 170, 1, 0, {}},
            {ControlKind::Button, IDCANCEL, "Cancel", 68, 84, 50, 14, 0, {}},
        }};
    return tmpl;
}

CProgressDlg::CProgressDlg(IBackend& ui) : CDialog(Template136()), m_backend(ui) {}

CProgressDlg::~CProgressDlg() {
    if (IsShown()) Close();
}

std::unique_ptr<CProgressDlg> CProgressDlg::OpenProgress(IBackend& ui, int* cancel, CDialog* owner) {
    if (cancel == nullptr) return nullptr;
    std::unique_ptr<CProgressDlg> progress(new CProgressDlg(ui));
    progress->m_pOwner = owner != nullptr ? owner : ui.ActiveDialog();
    progress->m_pCancel = cancel;
    if (!ui.CreateModeless(*progress) || !progress->IsShown()) {
        // Nothing was disabled yet; the flag stays as the caller set it.
        progress->m_pCancel = nullptr;
        progress->m_pOwner = nullptr;
        return nullptr;
    }
    if (IDialogHost* ownerHost = progress->m_pOwner != nullptr ? progress->m_pOwner->Host() : nullptr) {
        progress->m_ownerWasEnabled = ownerHost->IsWindowEnabled() ? 1 : 0;
        ownerHost->EnableWindow(false);
    } else {
        progress->m_pOwner = nullptr;
    }
    progress->Host()->EnableWindow(true);
    return progress;
}

void CProgressDlg::BeginProgress(const std::string& message, const std::string& title, int low, int high,
                                 int pos) {
    m_strMessage = message;
    IDialogHost* host = Host();
    if (host == nullptr) return;
    UpdateData(false);
    host->SetTitle(title);
    const int first = BarValue(low);
    host->SetRange(IDC_PROGRESS, first, BarValue(high));
    // Setting the range puts the bar at its low end already.
    if (BarValue(pos) != first) host->SetPos(IDC_PROGRESS, BarValue(pos));
}

void CProgressDlg::SetProgressPos(int pos) {
    if (IDialogHost* host = Host()) host->SetPos(IDC_PROGRESS, BarValue(pos));
}

void CProgressDlg::SetProgressNote(const std::string& note) {
    if (IDialogHost* host = Host()) host->SetText(IDC_NOTE, note);
}

void CProgressDlg::EnableCancel(bool enable) {
    if (IDialogHost* host = Host()) host->EnableControl(IDCANCEL, enable);
}

void CProgressDlg::CloseProgress() {
    if (IsShown()) Close();
}

void CProgressDlg::PumpMessages() {
    m_backend.PumpMessages();
}

void CProgressDlg::OnCancel() {
    Close();
}

void CProgressDlg::Close() {
    if (m_pCancel != nullptr) *m_pCancel = 1;
    if (m_pOwner != nullptr) {
        if (IDialogHost* ownerHost = m_pOwner->Host()) ownerHost->EnableWindow(m_ownerWasEnabled != 0);
        m_pOwner = nullptr;
    }
    // The back end takes the window down (later, if its own handler is
    // still running); this object stays with its owner.
    m_backend.DestroyModeless(*this);
}

void CProgressDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Text(dx, IDC_MESSAGE, m_strMessage);
}

}  // namespace pelican::ui
