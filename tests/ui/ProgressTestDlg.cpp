#include "ProgressTestDlg.h"

#include "ui/ProgressDlg.h"
#include "ui/UiBackend.h"

namespace pelican::test {

using namespace pelican::ui;

int CProgressTestDlg::s_alive = 0;

DialogTemplate CProgressTestDlg::Template() {
    return CProgressDlg::Template136();
}

CProgressTestDlg::CProgressTestDlg(ui::IBackend& ui, int& cancel, bool deleteSelf)
    : CDialog(Template()), m_ui(ui), m_cancel(cancel), m_deleteSelf(deleteSelf) {
    ++s_alive;
}

CProgressTestDlg::~CProgressTestDlg() {
    --s_alive;
}

void CProgressTestDlg::OnCancel() {
    m_cancel = 1;
    m_ui.DestroyModeless(*this);
    if (m_deleteSelf) delete this;
}

}  // namespace pelican::test
