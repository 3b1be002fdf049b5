#pragma once
// The wait for the lock of a file that the stations of a line share (the
// log, the serial-number counter). A station that died holding it on a
// network share can keep it for minutes, so the lock is never waited for
// in the system: it is tried without blocking, again at short intervals on
// the run's clock with a look at the run's ending between tries, and given
// up after a deadline. Whoever waits is told so once, with who holds it
// where the system says.
#include <cstdint>
#include <functional>
#include <string>

#include "sys/Clock.h"

namespace pelican {

class CLockedFile;

class CLockWait {
public:
    // How long a lock is waited for before the file counts as unusable.
    static constexpr uint32_t kDeadlineMs = 30000;
    // How long a wait goes on before it is told.
    static constexpr uint32_t kTellAfterMs = 1000;
    // The pause between two tries.
    static constexpr uint32_t kRetryMs = 20;

    enum class Result {
        Locked,    // the lock is held
        TimedOut,  // someone else held it past the deadline
        Ended,     // the run began to end while waiting
        Failed,    // the system refused the lock itself
    };

    explicit CLockWait(IClock& clock) : m_clock(clock) {}

    // Whether the run is on its way out: the wait then stops at once.
    std::function<bool()> m_ending;
    // Told the one line "waiting for the lock on PATH (another station
    // holds it)" once the wait has gone on for kTellAfterMs.
    std::function<void(const std::string& line)> m_tell;

    // Takes file's exclusive lock. Not Locked: why in error ("another
    // station held it for 30 s", the system's reason).
    Result Lock(CLockedFile& file, std::string& error) const;

private:
    IClock& m_clock;
};

}  // namespace pelican
