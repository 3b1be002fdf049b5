#pragma once
// Where the end of the user's session reaches a program only as messages to
// a window (Windows), the program holds one while it runs: the end is taken
// as the hang-up that ends the program, and while a command runs the system
// shows why the program keeps the session from ending.
namespace pelican {

class ISessionWatch {
public:
    virtual ~ISessionWatch() = default;

    // A command runs (the board may be at the high rate).
    virtual void SetBusy(bool busy) = 0;
};

}  // namespace pelican
