#include "sys/KeepAwake.h"

#include <windows.h>

namespace pelican {

// ES_CONTINUOUS keeps the request in force until this thread changes it;
// without it the call would only reset the idle timer once.
CKeepAwake::CKeepAwake() {
    ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
}

CKeepAwake::~CKeepAwake() {
    ::SetThreadExecutionState(ES_CONTINUOUS);
}

}  // namespace pelican
