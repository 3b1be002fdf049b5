#pragma once
// "Setting...": the "Set baudrate" dialog and the change it asks for.
#include <cstdint>

#include "commands/Command.h"

namespace pelican {

class CSettingCmd : public CCommand {
public:
    using CCommand::CCommand;
    // The rate in force afterwards, or 0 when cancelled or the change failed.
    uint32_t Run();
    // Whether "Set baudrate" was confirmed, and the rate it asked for: a
    // failed change leaves the link at its old rate, which Run returns as
    // the rate in force.
    bool Confirmed() const { return m_confirmed; }
    uint32_t AskedRate() const { return m_asked; }

private:
    bool m_confirmed = false;
    uint32_t m_asked = 0;
};

}  // namespace pelican
