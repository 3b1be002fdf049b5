#pragma once
// The built-in simulated board of `pelican --simulate`: an Orca/S P part with
// ID 01 to 07 on a pseudo-terminal, so that the real serial path is used end
// to end (it takes a download without an ID check, as the Orca/W boot loader
// does), and a window back end that presses the board's RESET when the user
// closes a "Push RESET." message, as a person at the bench would.
#include <memory>
#include <string>

#include "sim/BootLoader.h"
#include "sim/PtyBoard.h"
#include "ui/UiBackend.h"

namespace pelican {

class CSimulatedBoard {
public:
    // Started on a new pseudo-terminal, or nullptr (the reason is printed).
    static std::unique_ptr<CSimulatedBoard> Start();

    std::string Path() const { return m_pty.Path(); }
    void Reset() { m_pty.Reset(); }
    sim::CPtyBoard& Pty() { return m_pty; }

    CSimulatedBoard();

private:
    sim::CBootLoader m_board;
    sim::CPtyBoard m_pty;
};

class CSimulatedResetBackend final : public ui::IBackend {
public:
    CSimulatedResetBackend(ui::IBackend& inner, CSimulatedBoard& board) : m_inner(inner), m_board(board) {}
    int RunModal(ui::CDialog& dialog) override { return m_inner.RunModal(dialog); }
    int MessageBox(const std::string& caption, const std::string& text, ui::Icon icon) override;
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
    CSimulatedBoard& m_board;
};

}  // namespace pelican
