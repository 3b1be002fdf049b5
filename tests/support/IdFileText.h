#pragma once
// The ".id" file of the simulated board's own ID (01 to 07) at the seven ID
// places of Orca/S P, as a user writes it: one "address byte" line each.

namespace pelican::test {

inline constexpr const char* kIdFile = "FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n";

}  // namespace pelican::test
