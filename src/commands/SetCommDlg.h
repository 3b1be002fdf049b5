#pragma once
// "Set baudrate": the link's baud rate and the pause between programmed pages.
#include <cstdint>
#include <string>

#include "commands/BoardSession.h"
#include "ui/Dialog.h"

namespace pelican {


class CSetCommDlg : public ui::CDialog {
public:
    enum { IDD = 150, IDC_BAUDRATE = 1020, IDC_INTERVAL = 1044 };

    // The interval from the session's; OK leaves the one chosen there (the
    // pause after each page program and download frame, in milliseconds).
    explicit CSetCommDlg(BoardSession& session);
    static const ui::DialogTemplate& Template150();

    void SetBaudText(uint32_t baud);
    int GetBaudRate(uint32_t& rate) const;
    int GetInterval(int& interval) const;

    void OnOK() override;

    std::string m_baudText;
    std::string m_intervalText;

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;

private:
    BoardSession& m_session;
};

}  // namespace pelican
