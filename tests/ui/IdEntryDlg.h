#pragma once
// A small second dialog, opened from CSampleDlg's "Refer..." button.
#include <string>

#include "ui/Dialog.h"

namespace pelican::test {

class CIdEntryDlg : public ui::CDialog {
public:
    enum { kTemplateId = 201, kText = 1101 };
    static ui::DialogTemplate Template();
    CIdEntryDlg();

    std::string m_text;
    ui::CDialog* m_activeDuringInit = nullptr;

    bool OnInitDialog() override;

protected:
    void DoDataExchange(ui::CDataExchange& dx) override;
};

}  // namespace pelican::test
