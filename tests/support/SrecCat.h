#pragma once
// srec_cat, the reference S-record converter that the tests compare
// Pelican's files with. Where it is not installed, a test that needs it is
// skipped and says why, rather than passing unseen.
#include <string>

namespace pelican::test {

// True when srec_cat can be run. Otherwise the running test is marked
// skipped with the reason, and the caller returns: if (!SrecCatOrSkip()) return;
bool SrecCatOrSkip();

// Runs srec_cat with the arguments (one command line); what the system
// gives back, 0 when it did as asked.
int RunSrecCat(const std::string& arguments);

}  // namespace pelican::test
