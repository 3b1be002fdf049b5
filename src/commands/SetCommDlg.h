#pragma once
// "Set baudrate": the link's baud rate and the pause between programmed pages.
#include <cstdint>
#include <string>

#include "protocol/Protocol.h"
#include "ui/Dialog.h"

namespace pelican {

// Pause after each page program frame and each download frame, milliseconds.
// Every run starts at 40; only this dialog changes it. Each thread has its
// own: the boards of a gang each have their run.
extern thread_local int g_programInterval;

class CSetCommDlg : public ui::CDialog {
public:
    enum { IDD = 150, IDC_BAUDRATE = 1020, IDC_INTERVAL = 1044 };

    CSetCommDlg();
    static const ui::DialogTemplate& Template150();

    void SetBaudText(uint32_t baud);
    int GetBaudRate(uint32_t& rate) const;
    int GetInterval(int& interval) const;

    void OnOK() override;

    std::string m_baudText;
    std::string m_intervalText;

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;
};

}  // namespace pelican
