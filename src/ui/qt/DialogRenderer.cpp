#include "ui/qt/DialogRenderer.h"

#include <QImage>
#include <QPixmap>

#include "ui/qt/QtDialogHost.h"

namespace pelican::ui {

QImage RenderDialog(CDialog& dialog) {
    CQtDialogHost host(dialog, nullptr);
    host.Attach();
    dialog.OnInitDialog();
    const QImage image = host.grab().toImage();
    host.Detach();
    return image;
}

bool RenderDialogToPng(CDialog& dialog, const std::string& path) {
    const QImage image = RenderDialog(dialog);
    return !image.isNull() && image.save(QString::fromStdString(path), "PNG");
}

}  // namespace pelican::ui
