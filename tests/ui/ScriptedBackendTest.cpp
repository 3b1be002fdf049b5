// The scripted back end plays steps against real dialog classes: data
// exchange, handlers that refuse, nested dialogs, progress cancel, records.
#include <gtest/gtest.h>

#include "ProgressTestDlg.h"
#include "SampleDlg.h"
#include "IdEntryDlg.h"
#include "ui/UiBackend.h"
#include "ui/scripted/ScriptedBackend.h"

namespace pelican::test {
namespace {

using namespace pelican::ui;
using S = CSampleDlg;

class ScriptedBackendTest : public ::testing::Test {
protected:
    CScriptedBackend m_ui;
};

TEST_F(ScriptedBackendTest, ScriptedValuesReachTheFieldsThroughDataExchange) {
    CSampleDlg dlg;
    dlg.m_target = 1;
    // Checking the first radio must clear the second, or DDX_Radio would
    // read the last checked one.
    m_ui.SetText(S::kTemplateId, S::kId, "C0010")
        .SetText(S::kTemplateId, S::kPort, "/dev/ttyUSB0")
        .SetCheck(S::kTemplateId, S::kTargetFlash)
        .SetCheck(S::kTemplateId, S::kVerify)
        .Press(S::kTemplateId, IDOK);
    EXPECT_EQ(dlg.DoModal(m_ui), IDOK);
    EXPECT_EQ(dlg.m_id, "C0010");
    EXPECT_EQ(dlg.m_port, "/dev/ttyUSB0");
    EXPECT_EQ(dlg.m_target, 0);
    EXPECT_EQ(dlg.m_verify, 1);
    EXPECT_EQ(dlg.m_file, "sample.mot");  // shown at start, read back unchanged
    EXPECT_EQ(m_ui.m_lastTexts[S::kTemplateId][S::kFile], "sample.mot");
    EXPECT_EQ(m_ui.m_shownDialogs, std::vector<int>{S::kTemplateId});
    EXPECT_TRUE(m_ui.m_problems.empty());
    EXPECT_TRUE(m_ui.ScriptDone());
    EXPECT_EQ(dlg.Host(), nullptr);
    EXPECT_EQ(m_ui.ActiveDialog(), nullptr);
}

TEST_F(ScriptedBackendTest, RefusedOkKeepsTheDialogOpenUntilCancel) {
    CSampleDlg dlg;
    m_ui.Press(S::kTemplateId, IDOK).Press(S::kTemplateId, IDCANCEL);
    EXPECT_EQ(dlg.DoModal(m_ui), IDCANCEL);
    EXPECT_EQ(dlg.m_okCalls, 1);
    EXPECT_EQ(dlg.m_cancelCalls, 1);
    ASSERT_EQ(m_ui.m_messages.size(), 1u);
    EXPECT_EQ(m_ui.m_messages[0].caption, "Pelican");
    EXPECT_EQ(m_ui.m_messages[0].text, "Enter the ID.");
    EXPECT_EQ(m_ui.m_messages[0].icon, Icon::Exclamation);
    EXPECT_TRUE(m_ui.m_problems.empty());
}

TEST_F(ScriptedBackendTest, EnterPressesTheDefaultButtonOnly) {
    CSampleDlg dlg;
    m_ui.SetText(S::kTemplateId, S::kId, "C0010").PressEnter(S::kTemplateId);
    EXPECT_EQ(dlg.DoModal(m_ui), IDOK);
    EXPECT_EQ(dlg.m_okCalls, 1);

    CSampleDlg plain(S::TemplateWithoutDefault());
    m_ui.SetText(S::kTemplateId, S::kId, "C0010").PressEnter(S::kTemplateId).Press(S::kTemplateId, IDCANCEL);
    EXPECT_EQ(plain.DoModal(m_ui), IDCANCEL);
    EXPECT_EQ(plain.m_okCalls, 0);
    EXPECT_EQ(plain.m_commands, 0);
    EXPECT_TRUE(m_ui.m_problems.empty());
}

TEST_F(ScriptedBackendTest, ScriptMismatchesEndTheDialogAndAreRecorded) {
    {
        // A step meant for another dialog stays for it.
        CSampleDlg dlg;
        m_ui.Press(999, IDOK);
        EXPECT_EQ(dlg.DoModal(m_ui), IDCANCEL);
        ASSERT_EQ(m_ui.m_problems.size(), 1u);
        EXPECT_EQ(m_ui.m_problems[0], "dialog 200 shown where the script expected 999");
        EXPECT_EQ(m_ui.Steps().size(), 1u);
        EXPECT_EQ(dlg.m_okCalls, 0);
    }
    CScriptedBackend fresh;
    {
        // No script at all: Cancel, even for a dialog that refuses Cancel.
        CSampleDlg dlg;
        dlg.m_refuseCancel = true;
        EXPECT_EQ(dlg.DoModal(fresh), IDCANCEL);
        EXPECT_EQ(dlg.m_cancelCalls, 1);
        ASSERT_EQ(fresh.m_problems.size(), 1u);
        EXPECT_EQ(fresh.m_problems[0], "dialog 200 had no script; cancelled");
    }
}

TEST_F(ScriptedBackendTest, NestedDialogsTakeTheirStepsInOrder) {
    CSampleDlg dlg;
    m_ui.Press(S::kTemplateId, S::kRefer)
        .SetText(CIdEntryDlg::kTemplateId, CIdEntryDlg::kText, "ABCDEF")
        .Press(CIdEntryDlg::kTemplateId, IDOK)
        .Press(S::kTemplateId, IDOK);
    EXPECT_EQ(dlg.DoModal(m_ui), IDOK);
    EXPECT_EQ(dlg.m_referResult, IDOK);
    EXPECT_EQ(dlg.m_id, "ABCDEF");
    EXPECT_TRUE(dlg.m_innerWasActive);
    EXPECT_EQ(dlg.m_activeAfterRefer, &dlg);
    EXPECT_EQ((std::vector<int>{S::kTemplateId, CIdEntryDlg::kTemplateId}), m_ui.m_shownDialogs);
    EXPECT_TRUE(m_ui.m_problems.empty());
    EXPECT_TRUE(m_ui.ScriptDone());
}

TEST_F(ScriptedBackendTest, StepForTheOuterDialogCancelsTheInnerOneOnly) {
    CSampleDlg dlg;
    // The inner dialog finds a step for the outer one: it is cancelled and
    // the outer dialog still gets its OK.
    m_ui.SetText(S::kTemplateId, S::kId, "C0010").Press(S::kTemplateId, S::kRefer).Press(S::kTemplateId, IDOK);
    EXPECT_EQ(dlg.DoModal(m_ui), IDOK);
    EXPECT_EQ(dlg.m_referResult, IDCANCEL);
    EXPECT_EQ(dlg.m_id, "C0010");
    ASSERT_EQ(m_ui.m_problems.size(), 1u);
    EXPECT_EQ(m_ui.m_problems[0], "dialog 201 shown where the script expected 200");
}

// A page loop as the long operations run it.
int RunPages(IBackend& ui, int pages, int& cancel) {
    int done = 0;
    for (int page = 0; page < pages; ++page) {
        ++done;
        ui.PumpMessages();
        if (cancel) break;
    }
    return done;
}

TEST_F(ScriptedBackendTest, ProgressWindowIsCancelledAtTheChosenPump) {
    m_ui.PumpMessages();  // pumps before the window count too
    int cancel = 0;
    auto* progress = new CProgressTestDlg(m_ui, cancel, true);
    ASSERT_TRUE(m_ui.CreateModeless(*progress));
    EXPECT_NE(m_ui.HostOf(*progress), nullptr);
    m_ui.CancelProgressAtPump(3);
    EXPECT_EQ(RunPages(m_ui, 10, cancel), 3);
    EXPECT_EQ(cancel, 1);
    EXPECT_EQ(CProgressTestDlg::s_alive, 0);  // destroyed itself in OnCancel
    EXPECT_EQ(m_ui.m_pumps, 4);
    EXPECT_EQ(m_ui.m_shownDialogs, std::vector<int>{CProgressTestDlg::kTemplateId});

    // Without a cancel the loop runs to its end.
    int cancel2 = 0;
    CProgressTestDlg kept(m_ui, cancel2, false);
    ASSERT_TRUE(m_ui.CreateModeless(kept));
    EXPECT_EQ(RunPages(m_ui, 10, cancel2), 10);
    EXPECT_EQ(cancel2, 0);
    kept.OnCancel();
    EXPECT_EQ(kept.Host(), nullptr);
}

TEST_F(ScriptedBackendTest, MessagesAreRecordedWithCaptionAndIcon) {
    const std::pair<Icon, const char*> cases[] = {
        {Icon::Stop, "stop"},
        {Icon::Exclamation, "exclamation"},
        {Icon::Warning, "warning"},
        {Icon::Information, "information"},
        {Icon::None, "none"},
    };
    for (const auto& [icon, word] : cases) EXPECT_EQ(MessageBox(m_ui, std::string("Text ") + word, icon), IDOK);
    ASSERT_EQ(m_ui.m_messages.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(m_ui.m_messages[i].caption, "Pelican");
        EXPECT_EQ(m_ui.m_messages[i].text, std::string("Text ") + cases[i].second);
        EXPECT_EQ(m_ui.m_messages[i].icon, cases[i].first);
    }
}

TEST_F(ScriptedBackendTest, WaitCursorsNestAndRestoreOnce) {
    {
        CWaitCursor outer(m_ui);
        {
            CWaitCursor inner(m_ui);
            EXPECT_EQ(m_ui.m_waitCursorDepth, 2);
            inner.Restore();
            EXPECT_EQ(m_ui.m_waitCursorDepth, 1);
        }
        EXPECT_EQ(m_ui.m_waitCursorDepth, 1);
    }
    EXPECT_EQ(m_ui.m_waitCursorDepth, 0);
    EXPECT_EQ(m_ui.m_waitCursorShown, 2);
}

}  // namespace
}  // namespace pelican::test
