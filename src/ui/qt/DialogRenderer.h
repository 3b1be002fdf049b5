#pragma once
// Pictures of dialogs for the documentation: the window is built from the
// template and initialised by the dialog class, but never run.
#include <string>

class QImage;

namespace pelican::ui {

class CDialog;

// The client area of the dialog's window after OnInitDialog, at the screen's
// device pixel ratio. A QApplication must exist.
QImage RenderDialog(CDialog& dialog);
// Writes RenderDialog as a PNG file; false if it cannot be written.
bool RenderDialogToPng(CDialog& dialog, const std::string& path);

}  // namespace pelican::ui
