#include "sys/KeepAwake.h"

namespace pelican {

CKeepAwake::CKeepAwake() = default;

CKeepAwake::~CKeepAwake() = default;

}  // namespace pelican
