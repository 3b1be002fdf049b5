#pragma once
// The communications API's error codes and error word in the terms the
// port logic uses: errno values and line-error bits.
#include <windows.h>

#include <cstdint>

namespace pelican {

// The errno value Open reports for a CreateFileW failure.
int OpenErrnoOf(DWORD error);
// The errno value of a failed call on the device once it is open, the first
// GetCommState included: ENOTTY only where the device does not know the
// communications calls (no serial port), EACCES, ENOENT for a device that
// went away, EIO for a driver's own failure.
int CommErrnoOf(DWORD error);
// ClearCommError's error word as line-error bits (kLineOverrun...).
uint32_t LineErrorsOf(DWORD word);

}  // namespace pelican
