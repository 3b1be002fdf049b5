#pragma once
// A standard descriptor closed by the caller (">&-") would be the next one
// the program opens: the serial port or the lock file, read as the terminal
// or written with the program's lines.
namespace pelican {

// /dev/null takes the place of each closed one; whether standard output
// was closed.
bool OccupyClosedDescriptors();

}  // namespace pelican
