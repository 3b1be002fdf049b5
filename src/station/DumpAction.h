#pragma once
// The batch action "dump": the flash range to save and where.
#include <cstdint>
#include <optional>
#include <string>

#include "station/BatchOptions.h"
#include "ui/UiBackend.h"

namespace pelican {

class CDumpAction {
public:
    // The range of -r, or the flash of mcuType, the type the ID Check dialog
    // settled on (--mcu, else what the file and the ".id" file beside it
    // name, else Orca/S P), in whole pages. False, with the message shown,
    // when -r reaches past the address space.
    static bool Range(ui::IBackend& ui, const BatchOptions& options, int mcuType, uint32_t& start, uint32_t& end);

    // The file one board's dump writes. A single board writes -o itself;
    // several ports, or --loop, would all write the one file, so each
    // board's gets its port's name before its ending (flash.mot:
    // flash-ttyUSB0.mot, flash-COM5.mot) and, for a board that has a serial
    // number, the number after it (flash-ttyUSB0-1042.mot).
    static std::string FileFor(const BatchOptions& options, const std::optional<uint64_t>& serial);
};

}  // namespace pelican
