#include "QtFront.h"

#include <QIcon>

#include <cstdio>
#include <cstdlib>

#include "lifecycle/ExitStatus.h"
#include "lifecycle/WindowSignals.h"

namespace pelican {
namespace {

bool Named(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

void PlatformMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const QByteArray line = qFormatLogMessage(type, context, text).toLocal8Bit();
    std::fprintf(stderr, "%s\n", line.constData());
    if (type != QtFatalMsg) return;
    // Only the platform can fail this early; nothing is open yet to close.
    std::fprintf(stderr, "pelican: %s\n", kNoDisplayText);
    std::fflush(stderr);
    std::_Exit(kExitUsage);
}

}  // namespace

CQtFront::CPlatformGuard::CPlatformGuard() : previous(qInstallMessageHandler(PlatformMessage)) {}

CQtFront::CPlatformGuard::~CPlatformGuard() {
    qInstallMessageHandler(previous);
}

bool CQtFront::DisplayMissing() {
    return !Named("QT_QPA_PLATFORM") && !Named("DISPLAY") && !Named("WAYLAND_DISPLAY");
}

CQtFront::CQtFront(int& argc, char** argv) : m_guard(std::make_unique<CPlatformGuard>()), m_qapp(argc, argv) {
    m_guard.reset();
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
