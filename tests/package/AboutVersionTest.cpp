// The About box shows the project's version, the one the package, --version
// and the manual pages carry, and names the licence.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/AboutDlg.h"

namespace pelican::test {
namespace {

TEST(AboutBox, ShowsTheProjectVersionAndTheLicence) {
    std::vector<std::string> texts;
    for (const ui::ControlTemplate& control : CAboutDlg::Template100().controls)
        if (control.kind == ui::ControlKind::Static) texts.push_back(control.caption);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Pelican Version " PELICAN_PROJECT_VERSION);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Free software under the MIT License"), texts.end());
}

}  // namespace
}  // namespace pelican::test
