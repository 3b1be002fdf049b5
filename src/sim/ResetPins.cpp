#include "sim/ResetPins.h"

namespace pelican::sim {

CResetPins::Change CResetPins::Set(ModemLine line, bool on, uint64_t nowMs) {
    if (line == ModemLine::Rts) {
        // The boot-mode pin is only read when RESET is released.
        m_rts = on;
        return Change::None;
    }
    if (on == m_dtr) return Change::None;
    m_dtr = on;
    if (!on) {
        m_heldSinceMs = nowMs;
        return Change::Halted;
    }
    // A pulse shorter than the part's minimum RESET width may or may not
    // reset a real part; the model takes the safe reading: it does not.
    if (nowMs - m_heldSinceMs < kMinHoldMs) return Change::TooShort;
    m_application = !m_rts;
    if (m_application) return Change::Application;
    ++m_restarts;
    return Change::BootLoader;
}

}  // namespace pelican::sim
