#pragma once
// The line settings as termios holds them: the rates a UART runs, the
// character format, and the raw mode the boot-loader link needs. Nothing
// here touches a device; the serial device reads and writes the termios.
#include <termios.h>

#include "link/SerialDevice.h"

namespace pelican {

// Raw 8-bit transfer without flow control, damaged characters and breaks
// marked in the stream, reads that never block.
void MakeRawLine(termios& tio);

// The rate (0 when termios holds none of the table), data bits, parity and
// stop bits tio stands for.
LineSettings LineFromTermios(const termios& tio);

// Puts line's rate and character format into tio; false, with tio in an
// unknown state, for a rate or format a UART has no setting for.
bool LineToTermios(const LineSettings& line, termios& tio);

// Whether the settings a driver reports (now) are those asked for: a driver
// that cannot run a rate or format keeps its old one without a word.
bool LineTook(const termios& asked, const termios& now);

}  // namespace pelican
