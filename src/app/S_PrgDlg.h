#pragma once
// "Select Program": the target (internal flash or the Orca/W boot loader)
// and the serial port.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/Dialog.h"

namespace pelican {

class CS_PrgDlg : public ui::CDialog {
public:
    enum { IDD = 156, IDC_FLASH = 1000, IDC_BOOTLOADER = 1001, IDC_PORT = 1002 };

    // labels: the names shown beside a port in the list ("FT232R USB UART
    // (FTDI), serial A6008isP"), by port; a port without one shows alone.
    explicit CS_PrgDlg(const std::vector<std::string>& ports,
                       const std::map<std::string, std::string>& labels = {});
    static ui::DialogTemplate MakeTemplate(const std::vector<std::string>& ports,
                                           const std::map<std::string, std::string>& labels = {});
    // The list entry of a port: "/dev/ttyUSB0 - FT232R USB UART (FTDI)".
    static std::string Entry(const std::string& port, const std::string& label);

    std::string m_port = "COM1";
    int m_target = 0;  // 0 internal flash memory, 1 Orca/W boot loader

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;

private:
    // The entries that carry names, with the port each stands for: an
    // entry picked from the list gives its port, a typed name itself.
    std::vector<std::pair<std::string, std::string>> m_named;
};

}  // namespace pelican
