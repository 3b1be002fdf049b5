#pragma once
// Offered when the device did not answer the first status read.
#include "ui/Dialog.h"

namespace pelican {

class CFirstSetDlg : public ui::CDialog {
public:
    enum { IDD = 137 };
    CFirstSetDlg();
    static const ui::DialogTemplate& Template137();
};

}  // namespace pelican
