#pragma once
// The end of the Windows session watched by a hidden window of its own
// thread (see lifecycle/win32/SessionWindow.h), in batch mode and in the window
// program alike.
#include "lifecycle/win32/SessionWindow.h"
#include "main/SessionWatch.h"

namespace pelican {

class CSessionWindowWatch final : public ISessionWatch {
public:
    void SetBusy(bool busy) override { m_window.SetBusy(busy); }

private:
    CSessionWindow m_window;
};

}  // namespace pelican
