#pragma once
// The window back end of `pelican --simulate`: it presses the simulated
// board's RESET when the user closes a "Push RESET." message, as a person at
// the bench would; everything else goes to the real windows.
#include <functional>
#include <string>
#include <utility>

#include "ui/UiBackend.h"

namespace pelican {

class CSimulatedResetBackend final : public ui::IBackend {
public:
    CSimulatedResetBackend(ui::IBackend& inner, std::function<void()> reset)
        : m_inner(inner), m_reset(std::move(reset)) {}
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
    std::function<void()> m_reset;
};

}  // namespace pelican
