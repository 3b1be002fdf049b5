// The window program on the simulated board, driven through its real
// windows as a user would: "Erase" with its confirmation and message, then
// "Blank..." with "Input Address" and the progress window over the
// disabled main window, which closes without a word on a blank range.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "commands/SetAddressDlg.h"
#include "support/SimBench.h"
#include "support/TempDir.h"
#include "ui/ProgressDlg.h"
#include "ui/QtTestSupport.h"
#include "ui/qt/QtBackend.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::test {
namespace {

// The shown window of a dialog template with this title, if any.
ui::CQtDialogHost* ShownWindow(const QString& title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* host = dynamic_cast<ui::CQtDialogHost*>(widget);
        if (host != nullptr && host->isVisible() && host->windowTitle() == title) return host;
    }
    return nullptr;
}

// A click delivered from the event loop: the window it opens runs its own
// loop, in which the user's next step has to come.
void Click(ui::CQtDialogHost* host, int id) {
    QMetaObject::invokeMethod(qobject_cast<QAbstractButton*>(host->Control(id)), "click", Qt::QueuedConnection);
}

// Steps tried in turn on a timer; each says whether it could do its part.
class CUserAtTheWindows {
public:
    explicit CUserAtTheWindows(std::vector<std::function<bool()>> steps) : m_steps(std::move(steps)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_next < m_steps.size() && m_steps[m_next]()) ++m_next;
        });
        m_timer.start(5);
    }
    bool Done() const { return m_next == m_steps.size(); }

private:
    std::vector<std::function<bool()>> m_steps;
    size_t m_next = 0;
    QTimer m_timer;
};

TEST(PelicanWindowsFlow, EraseThenABlankRangeCheckedUnderTheProgressWindow) {
    CTempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    CSetAddressDlg::ForgetTexts();
    CSimBench bench;
    bench.PassId();
    CPelicanApp app(bench.MakeDevice("COM1"), bench.Clock());
    ui::CQtBackend windows;
    ui::SetBackend(&windows);
    CModalWatchdog watchdog(20000);

    std::vector<std::pair<QString, QMessageBox::Icon>> messages;
    bool progressSeen = false;
    bool mainDisabledMeanwhile = false;
    // What the windows look like while the second page is read.
    size_t pageReads = 0;
    bench.Board().SetFrameObserver([&](const sim::SimFrame& frame) {
        if (frame.bytes[0] != 0xFF || ++pageReads != 2) return;
        ui::CQtDialogHost* progress = ShownWindow(QStringLiteral("Blank Check"));
        ui::CQtDialogHost* main = ShownWindow(QStringLiteral("Pelican"));
        progressSeen = progress != nullptr && progress->Control(ui::CProgressDlg::IDC_PROGRESS) != nullptr;
        mainDisabledMeanwhile = main != nullptr && !main->IsWindowEnabled();
    });

    auto modal = [](const char* title) -> ui::CQtDialogHost* {
        auto* host = dynamic_cast<ui::CQtDialogHost*>(QApplication::activeModalWidget());
        return host != nullptr && host->windowTitle() == QString::fromUtf8(title) ? host : nullptr;
    };
    auto message = [&]() -> bool {
        auto* box = TopModal<QMessageBox>();
        if (box == nullptr) return false;
        messages.emplace_back(box->text(), box->icon());
        QMetaObject::invokeMethod(box, "accept", Qt::QueuedConnection);
        return true;
    };
    CUserAtTheWindows user({
        [&] {
            auto* w = modal("Select Program");
            if (w) Click(w, ui::IDOK);
            return w != nullptr;
        },
        [&] {
            auto* w = modal("ID Check");  // the board has passed its ID already
            if (w) Click(w, ui::IDCANCEL);
            return w != nullptr;
        },
        [&] {
            auto* w = modal("Pelican");
            if (w) Click(w, CPelicanDlg::IDC_ERASE);
            return w != nullptr;
        },
        [&] {
            auto* w = modal("Erase");
            if (w) Click(w, ui::IDOK);
            return w != nullptr;
        },
        message,
        [&] {
            auto* w = modal("Pelican");
            if (w) Click(w, CPelicanDlg::IDC_BLANK);
            return w != nullptr;
        },
        [&] {
            auto* w = modal("Input Address");
            if (w == nullptr) return false;
            qobject_cast<QLineEdit*>(w->Control(CSetAddressDlg::IDC_START))->setText(QStringLiteral("C0000"));
            qobject_cast<QLineEdit*>(w->Control(CSetAddressDlg::IDC_END))->setText(QStringLiteral("C01FF"));
            Click(w, ui::IDOK);
            return true;
        },
        [&] {
            // Back at the main window, which takes input again; a message
            // would have come first.
            if (TopModal<QMessageBox>() != nullptr) return message();
            auto* w = modal("Pelican");
            if (w == nullptr || !w->IsWindowEnabled() || ShownWindow(QStringLiteral("Blank Check"))) return false;
            Click(w, ui::IDCANCEL);
            return true;
        },
    });
    app.InitInstance();
    ui::SetBackend(nullptr);
    FlushDeferredDeletes();

    EXPECT_TRUE(user.Done());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], std::make_pair(QStringLiteral("Erase OK."), QMessageBox::Information));
    EXPECT_EQ(pageReads, 2u);
    EXPECT_TRUE(progressSeen);
    EXPECT_TRUE(mainDisabledMeanwhile);
    EXPECT_EQ(bench.Board().BaudRate(), 9600u);
}

}  // namespace
}  // namespace pelican::test
