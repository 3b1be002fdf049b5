#pragma once
#include "ui/Dialog.h"

namespace pelican {

class CAboutDlg : public ui::CDialog {
public:
    enum { IDD = 100 };
    CAboutDlg();
    static const ui::DialogTemplate& Template100();
};

}  // namespace pelican
