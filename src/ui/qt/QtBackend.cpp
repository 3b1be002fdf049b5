#include "ui/qt/QtBackend.h"

#include <algorithm>

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>

#include "ui/Dialog.h"
#include "ui/qt/FileFilter.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::ui {

namespace {

QMessageBox::Icon MessageIcon(Icon icon) {
    switch (icon) {
        case Icon::Stop: return QMessageBox::Critical;
        case Icon::Exclamation:
        case Icon::Warning: return QMessageBox::Warning;
        case Icon::Information: return QMessageBox::Information;
        case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

// While a window waits for the user the arrow shows over it, even inside
// an operation that has put up the wait cursor.
class CArrowWhileAsking {
public:
    explicit CArrowWhileAsking(bool waiting) : m_active(waiting) {
        if (m_active) QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    ~CArrowWhileAsking() {
        if (m_active) QApplication::restoreOverrideCursor();
    }
    CArrowWhileAsking(const CArrowWhileAsking&) = delete;
    CArrowWhileAsking& operator=(const CArrowWhileAsking&) = delete;

private:
    bool m_active;
};

}  // namespace

CQtBackend::CQtBackend() = default;

CQtBackend::~CQtBackend() {
    for (auto& [dialog, host] : m_modeless) {
        if (host) host->Detach();
        delete host.data();
    }
    for (auto& host : m_closing) delete host.data();
    while (m_waitCursorDepth > 0) EndWaitCursor();
}

CQtDialogHost* CQtBackend::HostOf(const CDialog& dialog) {
    return dynamic_cast<CQtDialogHost*>(dialog.Host());
}

QWidget* CQtBackend::OwnerWindow() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    for (auto it = m_modalStack.rbegin(); it != m_modalStack.rend(); ++it) {
        if (it->host) return it->host.data();
    }
    return QApplication::activeWindow();
}

void CQtBackend::AnnounceModal(QWidget& window) {
    if (!m_onModalShown) return;
    // Posted to the window, so it comes from the window's own loop once
    // that runs; nothing arrives for a window that is gone by then.
    QMetaObject::invokeMethod(
        &window,
        [this, shown = QPointer<QWidget>(&window)] {
            if (shown && shown->isVisible() && m_onModalShown) m_onModalShown(*shown);
        },
        Qt::QueuedConnection);
}

int CQtBackend::RunModal(CDialog& dialog) {
    CArrowWhileAsking arrow(m_waitCursorDepth > 0);
    QPointer<CQtDialogHost> host = new CQtDialogHost(dialog, OwnerWindow());
    host->setWindowModality(Qt::ApplicationModal);
    host->Attach();
    m_modalStack.push_back({&dialog, host});
    dialog.OnInitDialog();
    // A dialog may end (or lose its owner) while it initialises.
    if (host && !host->Ended()) {
        QEventLoop loop;
        host->SetModalLoop(&loop);
        host->show();
        AnnounceModal(*host);
        loop.exec(QEventLoop::DialogExec);
        if (host) host->SetModalLoop(nullptr);
    }
    int result = IDCANCEL;
    if (host) {
        if (host->Ended()) result = host->Result();
        host->Detach();
        delete host.data();
    }
    m_modalStack.pop_back();
    return result;
}

int CQtBackend::MessageBox(const std::string& caption, const std::string& text, Icon icon) {
    CArrowWhileAsking arrow(m_waitCursorDepth > 0);
    QMessageBox box(MessageIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, OwnerWindow());
    box.setTextFormat(Qt::PlainText);
    AnnounceModal(box);
    box.exec();
    // One OK button: Escape and the close box answer OK as well.
    return IDOK;
}

bool CQtBackend::GetOpenFileName(const FileOpenRequest& request, std::string& path) {
    CArrowWhileAsking arrow(m_waitCursorDepth > 0);
    QFileDialog box(OwnerWindow(), request.save ? QStringLiteral("Save As") : QStringLiteral("Open"));
    box.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(request.fileMustExist && !request.save ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!request.defaultSuffix.empty()) box.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    const QStringList filters = ConvertFileFilter(request.filter);
    if (!filters.isEmpty()) box.setNameFilters(filters);
    if (!request.initialPath.empty()) {
        const QString initial = QString::fromStdString(request.initialPath);
        const QFileInfo info(initial);
        if (info.isDir()) {
            box.setDirectory(initial);
        } else {
            box.setDirectory(info.absolutePath());
            box.selectFile(info.fileName());
        }
    }
    AnnounceModal(box);
    if (box.exec() != QDialog::Accepted) return false;
    const QStringList chosen = box.selectedFiles();
    if (chosen.isEmpty()) return false;
    path = chosen.front().toStdString();
    return true;
}

void CQtBackend::BeginWaitCursor() {
    ++m_waitCursorDepth;
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void CQtBackend::EndWaitCursor() {
    // An unmatched end must not take away a cursor someone else set.
    if (m_waitCursorDepth == 0) return;
    --m_waitCursorDepth;
    QApplication::restoreOverrideCursor();
}

bool CQtBackend::CreateModeless(CDialog& dialog) {
    auto shown = std::find_if(m_modeless.begin(), m_modeless.end(),
                              [&dialog](const auto& entry) { return entry.first == &dialog; });
    if (shown != m_modeless.end()) return false;
    QPointer<CQtDialogHost> host = new CQtDialogHost(dialog, OwnerWindow());
    host->setWindowModality(Qt::NonModal);
    host->Attach();
    m_modeless.emplace_back(&dialog, host);
    dialog.OnInitDialog();
    // OnInitDialog may already have destroyed the window.
    const bool alive = host && host->Dialog() == &dialog;
    if (alive && !host->Ended()) {
        host->show();
        if (m_onModelessShown) m_onModelessShown(*host);
    }
    return alive && host && host->Dialog() == &dialog;
}

void CQtBackend::DestroyModeless(CDialog& dialog) {
    auto it = std::find_if(m_modeless.begin(), m_modeless.end(),
                           [&dialog](const auto& entry) { return entry.first == &dialog; });
    if (it == m_modeless.end()) return;
    QPointer<CQtDialogHost> host = it->second;
    m_modeless.erase(it);
    if (!host) return;
    // Often called from the window's own close or button handling, which is
    // still on the stack: detach now, delete once the event loop is back.
    host->Detach();
    host->hide();
    host->deleteLater();
    m_closing.erase(std::remove_if(m_closing.begin(), m_closing.end(), [](const auto& p) { return !p; }),
                    m_closing.end());
    m_closing.push_back(host);
}

CDialog* CQtBackend::ActiveDialog() {
    return m_modalStack.empty() ? nullptr : m_modalStack.back().dialog;
}

void CQtBackend::PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CQtBackend::RepaintWindows() {
    // Paint and the desktop's own requests go through; mouse and keys wait
    // in the queue. A close request may come as either, so the windows
    // refuse every input of their own while this runs.
    const bool blocked = CQtDialogHost::InputBlocked();
    CQtDialogHost::BlockInput(true);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    CQtDialogHost::BlockInput(blocked);
}

}  // namespace pelican::ui
