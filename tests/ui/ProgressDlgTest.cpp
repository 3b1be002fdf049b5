// The progress window through the scripted back end: what it does to its
// owner and to the caller's flag, and that nothing it is asked after it has
// gone does any harm.
#include <gtest/gtest.h>

#include "SampleDlg.h"
#include "ui/ProgressDlg.h"
#include "ui/scripted/ScriptedBackend.h"

namespace pelican::test {
namespace {

using namespace pelican::ui;
using P = CProgressDlg;

class ProgressDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetBackend(&m_ui);
        m_owner.Attach(&m_ownerHost);
    }
    void TearDown() override {
        m_owner.Attach(nullptr);
        SetBackend(nullptr);
    }
    CScriptedBackend m_ui;
    CSampleDlg m_owner;
    CScriptedHost m_ownerHost{m_owner.Template()};
};

TEST_F(ProgressDlgTest, EveryWayOutSetsTheFlagAndGivesTheOwnerItsState) {
    // The owner's state before, and how the window goes.
    const struct {
        const char* name;
        bool ownerEnabled;
        bool byUser;
    } cases[] = {
        {"Cancel at a pump, enabled owner", true, true},
        {"Cancel at a pump, owner disabled before", false, true},
        {"CloseProgress", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_ownerHost.EnableWindow(c.ownerEnabled);
        int cancel = 0;
        auto progress = P::OpenProgress(&cancel, &m_owner);
        ASSERT_NE(progress, nullptr);
        EXPECT_FALSE(m_ownerHost.IsWindowEnabled());
        CScriptedHost* window = m_ui.HostOf(*progress);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->IsWindowEnabled());

        progress->BeginProgress("Blank check.", "Blank Check", 0, 130, 0);
        EXPECT_EQ(window->m_title, "Blank Check");
        EXPECT_EQ(window->m_controls[P::IDC_MESSAGE].text, "Blank check.");
        EXPECT_EQ(window->m_controls[P::IDC_PROGRESS].high, 130);
        progress->SetProgressPos(40);
        EXPECT_EQ(window->m_controls[P::IDC_PROGRESS].positions, std::vector<int>{40});
        progress->OnEnterKey();  // Enter does nothing
        EXPECT_EQ(cancel, 0);

        if (c.byUser) {
            m_ui.CancelProgressAtPump(1);
            P::PumpMessages();
        } else {
            progress->CloseProgress();
        }
        EXPECT_EQ(cancel, 1);
        EXPECT_FALSE(progress->IsOpen());
        EXPECT_EQ(m_ownerHost.IsWindowEnabled(), c.ownerEnabled);
        EXPECT_TRUE(m_ui.ModelessWindows().empty());

        // Gone: nothing more reaches the owner or the flag.
        m_ownerHost.EnableWindow(!c.ownerEnabled);
        cancel = 0;
        progress->SetProgressPos(50);
        progress->CloseProgress();
        progress.reset();
        EXPECT_EQ(cancel, 0);
        EXPECT_EQ(m_ownerHost.IsWindowEnabled(), !c.ownerEnabled);
    }
}

TEST_F(ProgressDlgTest, DroppingTheObjectClosesTheWindowAsCancelDoes) {
    int cancel = 0;
    {
        auto progress = P::OpenProgress(&cancel, &m_owner);
        ASSERT_NE(progress, nullptr);
    }
    EXPECT_EQ(cancel, 1);
    EXPECT_TRUE(m_ownerHost.IsWindowEnabled());
    EXPECT_TRUE(m_ui.ModelessWindows().empty());
}

TEST_F(ProgressDlgTest, NoFlagNoWindowAndNoModalRun) {
    EXPECT_EQ(P::OpenProgress(nullptr, &m_owner), nullptr);
    EXPECT_TRUE(m_ui.m_shownDialogs.empty());
    int cancel = 0;
    auto progress = P::OpenProgress(&cancel);  // no modal dialog running: no owner
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->DoModal(), -1);
    EXPECT_TRUE(m_ownerHost.IsWindowEnabled());
    // Bar values outside 16 bits stop at the ends of the control's range.
    progress->BeginProgress("Program.", "Program", -5, 70000, 0);
    EXPECT_EQ(m_ui.HostOf(*progress)->m_controls[P::IDC_PROGRESS].low, 0);
    EXPECT_EQ(m_ui.HostOf(*progress)->m_controls[P::IDC_PROGRESS].high, 65535);
}

}  // namespace
}  // namespace pelican::test
