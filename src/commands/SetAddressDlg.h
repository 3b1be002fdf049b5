#pragma once
// "Input Address": the start and end of the range a memory command works
// on, as hexadecimal texts. The texts the board's session confirmed last
// are proposed again.
#include <string>

#include "commands/BoardSession.h"
#include "ui/Dialog.h"

namespace pelican {

class CSetAddressDlg : public ui::CDialog {
public:
    enum { IDD = 130, IDC_START = 1012, IDC_END = 1013 };

    // Both texts from the ones the session remembers.
    explicit CSetAddressDlg(BoardSession& session);
    static const ui::DialogTemplate& Template130();

    // Takes both texts, leaves them to the session (empty ones too) and closes.
    void OnOK() override;

    std::string m_startText;
    std::string m_endText;

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;

private:
    BoardSession& m_session;
};

}  // namespace pelican
