#include "QtFront.h"

#include <QIcon>

#include "lifecycle/WindowSignals.h"

namespace pelican {

CQtFront::CQtFront(int& argc, char** argv) : m_qapp(argc, argv) {
    QApplication::setApplicationName("Pelican");
    QApplication::setWindowIcon(QIcon(":/pelican.svg"));
}

void CQtFront::WakeFor(std::function<void()> onWake) {
    m_wake.reset();
    if (!onWake) return;
    m_wake = std::make_unique<QSocketNotifier>(CWindowSignals::WakeFd(), QSocketNotifier::Read);
    QObject::connect(m_wake.get(), &QSocketNotifier::activated, [onWake = std::move(onWake)] { onWake(); });
}

}  // namespace pelican
