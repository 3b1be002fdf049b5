#pragma once
// "Download?": asked before a boot program goes to the device.
#include "ui/Dialog.h"

namespace pelican {

class CDownloadDlg : public ui::CDialog {
public:
    enum { IDD = 159 };
    CDownloadDlg();
    static const ui::DialogTemplate& Template159();
};

}  // namespace pelican
