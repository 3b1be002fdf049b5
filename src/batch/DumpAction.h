#pragma once
// The batch action "dump": the flash range to save and where.
#include <cstdint>
#include <string>

#include "batch/BatchOptions.h"

namespace pelican {

class CDumpAction {
public:
    // The range of -r, or the flash of the MCU type chosen in the ID Check
    // dialog (--mcu, else what the file and the ".id" file beside it name,
    // else Orca/S P), in whole pages. False, with the message shown, when
    // -r reaches past the address space.
    static bool Range(const BatchOptions& options, uint32_t& start, uint32_t& end);
};

}  // namespace pelican
