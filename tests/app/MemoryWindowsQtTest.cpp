// The window program on the simulated board, used through its real windows:
// "Erase" with its confirmation and message, then "Blank..." with "Input
// Address" and the progress window over the disabled main window, which
// closes without a word on a blank range.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <functional>
#include <vector>

#include "app/PelicanApp.h"
#include "app/PelicanDlg.h"
#include "commands/SetAddressDlg.h"
#include "support/SimBench.h"
#include "support/TempDir.h"
#include "ui/QtTestSupport.h"
#include "ui/qt/QtDialogHost.h"

namespace pelican::test {
namespace {

using ui::CQtDialogHost;

CQtDialogHost* Shown(const char* title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* host = dynamic_cast<CQtDialogHost*>(widget);
        if (host != nullptr && host->isVisible() && host->windowTitle() == QString::fromUtf8(title)) return host;
    }
    return nullptr;
}

TEST(PelicanWindowsFlow, EraseThenABlankRangeUnderTheProgressWindow) {
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

    // The windows while the second page is read.
    int pageReads = 0;
    bool progressOverDisabledMain = false;
    bench.Board().SetFrameObserver([&](const sim::SimFrame& frame) {
        if (frame.bytes[0] != 0xFF || ++pageReads != 2) return;
        progressOverDisabledMain = Shown("Blank Check") != nullptr && !Shown("Pelican")->IsWindowEnabled();
    });
    // The user: each step waits for its window on top, then presses a
    // button from the event loop (the window it opens runs its own loop).
    std::vector<QString> messages;
    using Step = std::pair<const char*, std::function<int(CQtDialogHost&)>>;
    const std::vector<Step> steps = {
        {"Select Program", [](CQtDialogHost&) { return ui::IDOK; }},
        {"ID Check", [](CQtDialogHost&) { return ui::IDCANCEL; }},  // the board has passed its ID
        {"Pelican", [](CQtDialogHost&) { return int{CPelicanDlg::IDC_ERASE}; }},
        {"Erase", [](CQtDialogHost&) { return ui::IDOK; }},
        {"Pelican", [](CQtDialogHost&) { return int{CPelicanDlg::IDC_BLANK}; }},
        {"Input Address",
         [](CQtDialogHost& w) {
             qobject_cast<QLineEdit*>(w.Control(CSetAddressDlg::IDC_START))->setText(QStringLiteral("C0000"));
             qobject_cast<QLineEdit*>(w.Control(CSetAddressDlg::IDC_END))->setText(QStringLiteral("C01FF"));
             return ui::IDOK;
         }},
        {"Pelican", [](CQtDialogHost&) { return ui::IDCANCEL; }},
    };
    size_t next = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (auto* box = TopModal<QMessageBox>()) {
            messages.push_back(box->text());
            QMetaObject::invokeMethod(box, "accept", Qt::QueuedConnection);
            return;
        }
        // Nothing is pressed while a command waits or its progress window is up.
        auto* window = dynamic_cast<CQtDialogHost*>(QApplication::activeModalWidget());
        if (next == steps.size() || window == nullptr || !window->IsWindowEnabled() || CQtDialogHost::InputBlocked() ||
            window->windowTitle() != QString::fromUtf8(steps[next].first) || Shown("Blank Check"))
            return;
        const int button = steps[next++].second(*window);
        QMetaObject::invokeMethod(qobject_cast<QAbstractButton*>(window->Control(button)), "click",
                                  Qt::QueuedConnection);
    });
    user.start(5);
    app.InitInstance();
    ui::SetBackend(nullptr);
    FlushDeferredDeletes();

    EXPECT_EQ(next, steps.size());
    EXPECT_EQ(messages, std::vector<QString>{QStringLiteral("Erase OK.")});
    EXPECT_EQ(pageReads, 2);
    EXPECT_TRUE(progressOverDisabledMain);
    EXPECT_EQ(bench.Board().BaudRate(), 9600u);
}

}  // namespace
}  // namespace pelican::test
