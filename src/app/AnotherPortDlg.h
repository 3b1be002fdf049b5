#pragma once
// Offered at start-up when no board answered on the port chosen and the
// "Set baudrate" that followed was cancelled: OK goes back to "Select
// Program" for another port; Cancel goes on without a board.
#include <string>

#include "ui/Dialog.h"

namespace pelican {

class CAnotherPortDlg : public ui::CDialog {
public:
    enum { IDD = 170, IDC_TEXT = 1000 };
    explicit CAnotherPortDlg(const std::string& port);
    static const ui::DialogTemplate& Template170();

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;

private:
    std::string m_text;
};

}  // namespace pelican
