#pragma once
// "Select Program": the target (internal flash or the Orca/W boot loader)
// and the serial port.
#include <string>
#include <vector>

#include "ui/Dialog.h"

namespace pelican {

class CS_PrgDlg : public ui::CDialog {
public:
    enum { IDD = 156, IDC_FLASH = 1000, IDC_BOOTLOADER = 1001, IDC_PORT = 1002 };

    explicit CS_PrgDlg(const std::vector<std::string>& ports);
    static ui::DialogTemplate MakeTemplate(const std::vector<std::string>& ports);

    std::string m_port = "COM1";
    int m_target = 0;  // 0 internal flash memory, 1 Orca/W boot loader

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;
};

}  // namespace pelican
