#include "support/SrecCat.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pelican::test {

bool SrecCatOrSkip() {
    if (std::system("command -v srec_cat >/dev/null 2>&1") == 0) return true;
    // GTEST_SKIP returns from the function it is in: a function of its own.
    [] { GTEST_SKIP() << "srec_cat is not installed"; }();
    return false;
}

int RunSrecCat(const std::string& arguments) {
    return std::system(("srec_cat " + arguments).c_str());
}

}  // namespace pelican::test
