#pragma once
// What a platform sets up on its console for a batch run before the run
// writes anything, and gives back on every way out: the destructor, or
// Leave when an ending leaves the process at once.
namespace pelican {

class IBatchConsole {
public:
    virtual ~IBatchConsole() = default;

    // The console given back, then the process ends with status.
    [[noreturn]] virtual void Leave(int status) = 0;
};

}  // namespace pelican
