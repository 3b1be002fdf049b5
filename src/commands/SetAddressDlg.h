#pragma once
// "Input Address": the start and end of the range a memory command works
// on, as hexadecimal texts. The texts confirmed last are proposed again
// for as long as the program runs.
#include <string>

#include "ui/Dialog.h"

namespace pelican {

class CSetAddressDlg : public ui::CDialog {
public:
    enum { IDD = 130, IDC_START = 1012, IDC_END = 1013 };

    // Both texts from the remembered ones.
    CSetAddressDlg();
    static const ui::DialogTemplate& Template130();

    // Takes both texts, remembers them (empty ones too) and closes.
    void OnOK() override;

    std::string m_startText;
    std::string m_endText;

    // The texts the next dialog starts with: "0C0000" and "0FFFFF" until
    // the user confirms others.
    static const std::string& RememberedStart() { return s_startText; }
    static const std::string& RememberedEnd() { return s_endText; }
    // Back to the texts of a fresh start (a new run of the program).
    static void ForgetTexts();

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;

private:
    // Per thread: each board of a gang remembers its own range.
    static thread_local std::string s_startText;
    static thread_local std::string s_endText;
};

}  // namespace pelican
