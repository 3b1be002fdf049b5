#pragma once
// "Erase?": asked before anything erases the flash.
#include "ui/Dialog.h"

namespace pelican {

class CPreEraseDlg : public ui::CDialog {
public:
    enum { IDD = 141 };
    CPreEraseDlg();
    static const ui::DialogTemplate& Template141();
};

}  // namespace pelican
