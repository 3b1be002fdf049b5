// pelican: the window program, the window program on a simulated board, or
// batch mode when actions are named on the command line.
#include <QApplication>
#include <QIcon>
#include <iostream>
#include <memory>

#include "batch/BatchOptions.h"
#include "batch/BatchRunner.h"
#include "app/PelicanApp.h"
#include "link/PosixPortList.h"
#include "link/PosixSerialDevice.h"
#include "sim/BootLoader.h"
#include "sim/PtyBoard.h"
#include "sim/BoardConfig.h"
#include "sys/Paths.h"
#include "ui/Messages.h"
#include "ui/qt/QtBackend.h"

namespace {

using namespace pelican;

// In the simulated mode the board's RESET is pressed when the user closes a
// "Push RESET." message, as a person at the bench would.
class CSimulatedResetBackend final : public ui::IBackend {
public:
    CSimulatedResetBackend(ui::IBackend& inner, sim::CPtyBoard& board) : m_inner(inner), m_board(board) {}
    int RunModal(ui::CDialog& dialog) override { return m_inner.RunModal(dialog); }
    int MessageBox(const std::string& caption, const std::string& text, ui::Icon icon) override {
        const int result = m_inner.MessageBox(caption, text, icon);
        if (ui::IsPushResetText(text)) m_board.Reset();
        return result;
    }
    bool GetOpenFileName(const ui::FileOpenRequest& request, std::string& path) override {
        return m_inner.GetOpenFileName(request, path);
    }
    void BeginWaitCursor() override { m_inner.BeginWaitCursor(); }
    void EndWaitCursor() override { m_inner.EndWaitCursor(); }
    bool CreateModeless(ui::CDialog& dialog) override { return m_inner.CreateModeless(dialog); }
    void DestroyModeless(ui::CDialog& dialog) override { m_inner.DestroyModeless(dialog); }
    ui::CDialog* ActiveDialog() override { return m_inner.ActiveDialog(); }
    void PumpMessages() override { m_inner.PumpMessages(); }
    void RepaintWindows() override { m_inner.RepaintWindows(); }

private:
    ui::IBackend& m_inner;
    sim::CPtyBoard& m_board;
};

// The built-in simulated board: an Orca/S P part with ID 01 to 07 on a
// pseudo-terminal, so that the real serial path is used end to end.
struct SimulatedBoard {
    SimulatedBoard() : board(MakeConfig()), pty(board) {}
    static sim::BoardConfig MakeConfig() {
        sim::BoardConfig config;
        config.keepLog = false;
        return config;
    }
    sim::CBootLoader board;
    sim::CPtyBoard pty;
};

std::unique_ptr<SimulatedBoard> StartSimulatedBoard() {
    auto simulated = std::make_unique<SimulatedBoard>();
    std::string error;
    if (!simulated->pty.Start(&error)) {
        std::cerr << "pelican: cannot start the simulated board: " << error << "\n";
        return nullptr;
    }
    std::cerr << "Simulated board on " << simulated->pty.Path() << "\n";
    return simulated;
}

int RunBatch(const BatchOptions& options) {
    std::unique_ptr<SimulatedBoard> board;
    BatchOptions effective = options;
    if (options.simulate) {
        board = StartSimulatedBoard();
        if (!board) return 3;
        if (effective.port.empty()) effective.port = board->pty.Path();
    }
    CPelicanApp app(std::make_unique<CPosixSerialDevice>(), RealClock());
    app.m_portList = PosixPortList();
    CBatchRunner runner(app, effective);
    if (board) runner.m_onReset = [&board] { board->pty.Reset(); };
    return runner.Run();
}

int RunWindows(int argc, char** argv, bool simulate) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("Pelican");
    QApplication::setWindowIcon(QIcon(":/pelican.svg"));
    ui::CQtBackend qtBackend;
    std::unique_ptr<SimulatedBoard> board;
    std::unique_ptr<CSimulatedResetBackend> resetBackend;
    CPelicanApp app(std::make_unique<CPosixSerialDevice>(), RealClock());
    app.m_portList = PosixPortList();
    if (simulate) {
        board = StartSimulatedBoard();
        if (!board) return 3;
        app.m_defaultPort = board->pty.Path();
        resetBackend = std::make_unique<CSimulatedResetBackend>(qtBackend, board->pty);
        ui::SetBackend(resetBackend.get());
    } else {
        ui::SetBackend(&qtBackend);
    }
    app.InitInstance();
    ui::SetBackend(nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    pelican::SetApplicationName("pelican");
    BatchOptions options;
    int exitCode = 0;
    switch (ParseCommandLine(argc, argv, options, exitCode)) {
        case CommandLine::Exit: return exitCode;
        case CommandLine::Batch: return RunBatch(options);
        case CommandLine::Window: break;
    }
    return RunWindows(argc, argv, options.simulate);
}
