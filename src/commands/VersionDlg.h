#pragma once
// "Firmware Version": the boot loader's version text.
#include <string>

#include "ui/Dialog.h"

namespace pelican {

class CVersionDlg : public ui::CDialog {
public:
    enum { IDD = 158, IDC_VERSION = 1062 };
    CVersionDlg();
    static const ui::DialogTemplate& Template158();

    void SetVersion(const std::string& text) { m_strVersion = text; }
    // The bytes the boot loader sent (up to the first zero byte), or "ERROR".
    std::string m_strVersion;

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;
};

}  // namespace pelican
