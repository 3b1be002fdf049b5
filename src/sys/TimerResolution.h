#pragma once
// The system's timer tick for the run of the program. Windows wakes every
// timed wait (Sleep, a wait for a driver's event with a time-out) on its
// tick, 15.6 ms unless the program asks for a finer one: a read time-out of
// 50 ms could end at 62, and a look at a port's queue every millisecond
// would come every 16. main holds one of these for the run; the system
// gives the tick back when the process ends, however it ends. Linux has no
// such tick: there it does nothing.
namespace pelican {

class CFineTimer {
public:
    CFineTimer();
    ~CFineTimer();
    CFineTimer(const CFineTimer&) = delete;
    CFineTimer& operator=(const CFineTimer&) = delete;

    // Whether the system granted a tick of a millisecond.
    bool Granted() const { return m_granted; }

private:
    bool m_granted = false;
};

}  // namespace pelican
