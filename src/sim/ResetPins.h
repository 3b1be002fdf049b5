#pragma once
// The board's RESET and boot-mode pins, wired to the host's modem lines the
// way a common adapter circuit does it: RESET is held while DTR is off, and
// serial boot mode is selected while RTS is on. A RESET held for at least
// kMinHoldMs and then released restarts the part: in its serial boot loader
// when boot mode is selected at that moment, otherwise in its application,
// which does not listen to the boot loader's protocol. While RESET is held
// the part does nothing at all.
//
// The lines start as opening a port leaves them, DTR and RTS on, so a host
// that never touches them finds the board as it was.
#include <cstdint>

#include "link/SerialDevice.h"

namespace pelican::sim {

class CResetPins {
public:
    static constexpr uint64_t kMinHoldMs = 1;

    enum class Change {
        None,         // the part goes on as before
        Halted,       // RESET was just pressed: the part stops listening
        BootLoader,   // released in boot mode: the boot loader starts afresh
        Application,  // released in normal mode: the application runs
        TooShort,     // released before kMinHoldMs: the part goes on as before
    };

    // A line changed at nowMs; what it does to the part.
    Change Set(ModemLine line, bool on, uint64_t nowMs);

    // Whether the boot loader hears the host: not while RESET is held, not
    // while the application runs.
    bool Listening() const { return m_dtr && !m_application; }
    bool Held() const { return !m_dtr; }
    bool InApplication() const { return m_application; }
    // Boot-loader restarts by wire so far.
    unsigned Restarts() const { return m_restarts; }

private:
    bool m_dtr = true;
    bool m_rts = true;
    bool m_application = false;
    uint64_t m_heldSinceMs = 0;
    unsigned m_restarts = 0;
};

}  // namespace pelican::sim
