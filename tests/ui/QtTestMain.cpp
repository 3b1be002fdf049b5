// The Qt tests need one QApplication for the whole program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace {

// A recognisable application icon, so that icon controls have something to show.
QIcon TestIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 90, 160));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 28, 28);
    painter.setBrush(QColor(250, 190, 40));
    painter.drawPolygon(QPolygon({QPoint(14, 12), QPoint(30, 16), QPoint(14, 19)}));
    painter.end();
    return QIcon(pixmap);
}

}  // namespace

int main(int argc, char** argv) {
    // CTest sets the offscreen platform; run by hand, the same applies.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setWindowIcon(TestIcon());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
