#pragma once
// The system's own words for a Windows error number (GetLastError), as one
// line of UTF-8 without the trailing full stop and line end.
#include <cstdint>
#include <string>

namespace pelican {

std::string SystemErrorText(uint32_t error);

}  // namespace pelican
