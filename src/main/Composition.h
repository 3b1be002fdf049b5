#pragma once
// The program put together from a platform's parts: the command line read,
// then the window program, a batch run of one board, a production line of
// several, or the list of ports.
#include "main/PlatformKit.h"

namespace pelican {

// argv in UTF-8; the exit status.
int RunPelican(PlatformKit& kit, int argc, char** argv);

}  // namespace pelican
