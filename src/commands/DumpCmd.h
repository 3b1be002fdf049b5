#pragma once
// Saves a range of the flash to a file: the range is read page by page with
// the read check's page read and recovery, under the same progress window,
// each page until two reads agree, and the file is written only when every
// page of the range was read.
#include <string>

#include "commands/CheckMemorryCmd.h"

namespace pelican {

class CDumpCmd : public CCheckMemorryCmd {
public:
    explicit CDumpCmd(IAppHost& host) : CCheckMemorryCmd(host) {}

    // "Save flash to file...": the range from "Input Address", the file
    // from a file-save dialog, then the run below; a saved file is told.
    // Cancelled when either dialog was cancelled.
    Outcome Run();

    // Reads start to end (whole pages) and writes path (S-records or raw
    // bytes by its name). Done when the file holds the whole range; Refused
    // for a range, a name or a folder it cannot take (before any page is
    // read); Cancelled when the progress
    // window was closed; LinkLost after a failed page read; Failed when no
    // two reads of a page agreed or the file could not be written. Every
    // end but Done leaves no file behind.
    Outcome Run(uint32_t start, uint32_t end, const std::string& path);
};

}  // namespace pelican
