#pragma once
// The machine kept awake while a board is in work. A Windows PC whose only
// work is serial I/O looks idle to its power plan: it sleeps, the USB
// adapter powers down, its handle dies, and the board is left half
// programmed at the high rate. While one of these lives, the thread that
// made it asks the system to stay in the working state (the display may
// still turn off); the request ends with the object, or with the thread.
// Linux desktops decide sleep elsewhere: there it does nothing.
namespace pelican {

class CKeepAwake {
public:
    CKeepAwake();
    ~CKeepAwake();
    CKeepAwake(const CKeepAwake&) = delete;
    CKeepAwake& operator=(const CKeepAwake&) = delete;
};

}  // namespace pelican
