#pragma once
// The window program's windows as a platform draws them, with the way its
// event loop hears of an ending (a signal, the console's events, the end of
// the session) that was noted outside it.
#include <functional>

#include "ui/UiBackend.h"

namespace pelican {

class IWindowFront {
public:
    virtual ~IWindowFront() = default;

    // The back end the application's dialogs are shown through.
    virtual ui::IBackend& Backend() = 0;
    // From now on the event loop calls onWake for every ending noted; an
    // empty one stops it.
    virtual void WakeFor(std::function<void()> onWake) = 0;
};

}  // namespace pelican
