#pragma once
// "Program next area.": the range about to be programmed, shown read-only
// for a last confirmation before the first frame goes out.
#include <string>

#include "ui/Dialog.h"

namespace pelican {

class CPreWriteDlg : public ui::CDialog {
public:
    enum { IDD = 131, IDC_START = 1016, IDC_END = 1002 };

    // Both texts empty.
    CPreWriteDlg();
    static const ui::DialogTemplate& Template131();

    // The range the dialog shows, as address texts.
    void SetRange(const std::string& startText, const std::string& endText);

    std::string m_startText;
    std::string m_endText;

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;
};

}  // namespace pelican
