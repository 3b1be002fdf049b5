#pragma once
// A batch run's console on Windows (see sys/win32/BatchConsole.h), and the
// timer tick fine for the run (see sys/TimerResolution.h), both set up
// before the run writes anything.
#include <cstdlib>
#include <iostream>

#include "main/BatchConsole.h"
#include "sys/TimerResolution.h"
#include "sys/win32/BatchConsole.h"

namespace pelican {

class CConsoleHold final : public IBatchConsole {
public:
    [[noreturn]] void Leave(int status) override {
        std::cout << std::flush;
        m_console.Restore();
        std::_Exit(status);
    }

private:
    CBatchConsole m_console;
    const CFineTimer m_fineTimer;
};

}  // namespace pelican
