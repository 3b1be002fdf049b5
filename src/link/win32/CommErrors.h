#pragma once
// The communications API's error codes and error word in the terms the
// port logic uses: errno values and line-error bits.
#include <windows.h>

#include <cstdint>

namespace pelican {

// The errno value Open reports for a CreateFileW failure.
int OpenErrnoOf(DWORD error);
// The errno value of a failed call within Open, which tells whether the
// device is a serial port at all: ENOTTY where the device does not know the
// communications calls, EACCES, ENOENT for a device that went away, EIO for
// a driver's own failure.
int CommErrnoOf(DWORD error);
// The errno value of a failed call on a port that opened: ENOTTY for a call
// the device does not know (a port without modem lines), ENODEV for a
// device gone from under its handle, EIO for a driver's own failure.
int FaultErrnoOf(DWORD error);
// ClearCommError's error word as line-error bits (kLineOverrun...).
uint32_t LineErrorsOf(DWORD word);

}  // namespace pelican
