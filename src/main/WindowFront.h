#pragma once
// The window program's windows as a platform draws them, with the way its
// event loop hears of an ending (a signal, the console's events, the end of
// the session) that was noted outside it.
#include <functional>

#include "ui/UiBackend.h"

namespace pelican {

// Said on standard error, with the status of a usage error, when the window
// program has no display to open its windows on (started over SSH, say).
inline constexpr const char* kNoDisplayText =
    "no display to show the windows on; the actions run without one (see pelican -h)";

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
