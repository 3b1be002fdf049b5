#pragma once
// "Status": the boot loader's two status bytes, one word per condition.
#include <cstdint>
#include <string>

#include "ui/Dialog.h"

namespace pelican {

class CStatesDlg : public ui::CDialog {
public:
    enum {
        IDD = 140,
        IDC_AFTERBLOCK = 1037,
        IDC_READY = 1035,
        IDC_PROGRAM = 1036,
        IDC_ERASE = 1038,
        IDC_CHECKSUM = 1002,
        IDC_IDCHECK = 1039,
        IDC_TIMEOUT = 1040,
        IDC_OVER = 1041,
    };

    CStatesDlg();
    static const ui::DialogTemplate& Template140();

    void SetStatus(unsigned status1, unsigned status2);

    std::string m_strAfterBlock;
    std::string m_strReady;
    std::string m_strProgram;
    std::string m_strErase;
    std::string m_strCheckSum;
    std::string m_strIdCheck;
    std::string m_strTimeout;
    std::string m_strOver;
    // The two bytes as the boot loader sent them.
    unsigned m_status1 = 0;
    unsigned m_status2 = 0;

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;
};

}  // namespace pelican
