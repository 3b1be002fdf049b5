#pragma once
// A dialog with one control of every kind, data exchange for text, radio and
// check box, an OK that refuses an empty ID, and a "Refer..." button that
// opens a second dialog modally.
#include <string>

#include "ui/Dialog.h"

namespace pelican::test {

class CSampleDlg : public ui::CDialog {
public:
    enum {
        kTemplateId = 200,
        kTargetFlash = 1001,
        kTargetBoot = 1002,
        kPort = 1003,
        kRate = 1004,
        kVerify = 1005,
        kId = 1006,
        kFile = 1007,
        kBar = 1008,
        kRefer = 1009,
        kNote = 1010,
    };
    static ui::DialogTemplate Template();
    // The same window without a default button.
    static ui::DialogTemplate TemplateWithoutDefault();

    explicit CSampleDlg(const ui::DialogTemplate& tmpl = Template());

    std::string m_id;
    std::string m_port = "COM1";
    std::string m_rate = "19200";
    std::string m_file = "sample.mot";
    int m_target = 0;
    int m_verify = 0;
    bool m_refuseCancel = false;

    int m_okCalls = 0;
    int m_cancelCalls = 0;
    int m_commands = 0;
    int m_referResult = 0;
    bool m_innerWasActive = false;           // the second dialog saw itself as active
    ui::CDialog* m_activeAfterRefer = nullptr;

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnCommand(int id) override;

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;
};

}  // namespace pelican::test
