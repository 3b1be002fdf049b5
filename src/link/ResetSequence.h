#pragma once
// A board's way into serial boot mode by wire: the DTR and RTS changes (and
// the pauses between them) that press its RESET with its boot-mode pin set,
// written as "dtr:0,rts:1,delay:100,dtr:1". Which line does what depends on
// how the board is wired to the adapter, so the sequence is the user's.
#include <cstdint>
#include <string>
#include <vector>

#include "link/SerialDevice.h"

namespace pelican {

class CSerialComm;

class CResetSequence {
public:
    // A pause longer than this is a typing error, not a reset.
    static constexpr uint32_t kMaxDelayMs = 10000;
    static constexpr size_t kMaxSteps = 32;

    struct Step {
        bool isDelay = false;
        ModemLine line = ModemLine::Dtr;
        bool on = false;
        uint32_t delayMs = 0;
    };

    // Steps separated by commas, each "dtr:0", "dtr:1", "rts:0", "rts:1" or
    // "delay:MS" (0 to kMaxDelayMs), names in either case. At least one line
    // change. False, with the reason in error, for anything else.
    static bool Parse(const std::string& text, CResetSequence& sequence, std::string& error);

    bool Empty() const { return m_steps.empty(); }
    const std::vector<Step>& Steps() const { return m_steps; }
    // The sequence as written back: "dtr:0,rts:1,delay:100,dtr:1".
    std::string Text() const;

    // Performs every step on the open port, the pauses on the port's clock.
    // Empty when every line change was taken; otherwise what failed first
    // ("DTR: Inappropriate ioctl for device"). The steps after a failed one
    // are still performed: a line left half-way is worse than one more try.
    std::string Perform(CSerialComm& port) const;

private:
    std::vector<Step> m_steps;
};

}  // namespace pelican
