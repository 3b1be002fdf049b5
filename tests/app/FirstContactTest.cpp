// The window program when no board answers the first synchronisation: the
// recovery's "Push RESET.", then what to check, then "Set baudrate"; cancelled,
// it offers "Select Program" again, and without a board Exit sends nothing.
#include <gtest/gtest.h>

#include "app/AnotherPortDlg.h"
#include "app/AppBench.h"
#include "app/PelicanDlg.h"
#include "app/S_PrgDlg.h"
#include "commands/IDCheckDlg.h"
#include "commands/SetCommDlg.h"
#include "support/FrameEncoder.h"

namespace pelican::test {
namespace {

using ui::Icon;
using Messages = std::vector<std::pair<std::string, Icon>>;

const std::pair<std::string, Icon> kTimeout = {"Timeout.\nPush RESET.", Icon::Stop};
const std::pair<std::string, Icon> kCommError = {"Communication error.\nPush RESET.", Icon::Stop};
const char* const kCheck = ".\nIs it started in boot mode, and not left at another rate by an earlier run (it then needs a RESET)?";

TEST(FirstContact, NoAnswerSaysWhatToCheckAndOffersAnotherPort) {
    const struct {
        const char* name;
        std::string port;                  // chosen first
        std::function<void(sim::BoardConfig&)> setUp;
        Messages messages;
        bool another;                      // OK in "No answer": COM1 is chosen next
        std::vector<int> dialogs;
        int linkReady;
    } cases[] = {
        {"a port that does not open, then the board's", "COM7", [](sim::BoardConfig&) {},
         {kCommError, {"The port COM7 could not be used.\nIs it the board's port, and is its adapter plugged in?",
                       Icon::Information}},
         true, {156, 150, 170, 156, 129, 102}, 1},
        {"a silent board, gone on without", "COM1", [](sim::BoardConfig& c) { c.faults.silentFrom = {0x00, 1}; },
         {kTimeout, {"No answer from the board on COM1 at 9600 bps.\nIs it powered, wired TX to RX, and started in "
                     "boot mode? Is COM1 the port it is wired to?", Icon::Information}},
         false, {156, 150, 170, 129, 102}, 0},
        {"a board that answers 3F", "COM1",
         [](sim::BoardConfig& c) {
             c.faults.wrongReply = {0x00, 1};
             c.faults.wrongValue = 0x3F;
         },
         {kCommError,
          {std::string("The board on COM1 answered the synchronisation at 9600 bps with 3F, not B0") + kCheck,
           Icon::Information}},
         false, {156, 150, 170, 129, 102}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::BoardConfig config;
        c.setUp(config);
        CAppBench bench(config);
        bench.SelectProgram(c.port);
        bench.m_ui.Press(CSetCommDlg::IDD, ui::IDCANCEL);
        bench.m_ui.Press(CAnotherPortDlg::IDD, c.another ? ui::IDOK : ui::IDCANCEL);
        if (c.another) bench.SelectProgram("COM1");
        uint64_t atMainWindow = 0;
        bench.Run([&] { atMainWindow = bench.m_sim.Clock().NowMs(); });
        EXPECT_EQ(bench.Messages(), c.messages);
        EXPECT_EQ(bench.m_ui.m_shownDialogs, c.dialogs);
        EXPECT_EQ(bench.m_ui.m_lastTexts[CAnotherPortDlg::IDD][CAnotherPortDlg::IDC_TEXT],
                  "No board answered on " + c.port + ".\nChoose another port in \"Select Program\"?");
        EXPECT_EQ(bench.m_app->m_linkReady, c.linkReady);
        EXPECT_TRUE(bench.m_ui.m_problems.empty());
        if (c.linkReady == 0) {
            // Exit sends nothing to a board that never answered, and waits
            // for nothing.
            EXPECT_EQ(bench.m_sim.Received(), bench.m_receivedBeforeExit);
            EXPECT_EQ(bench.m_sim.Clock().NowMs(), atMainWindow);
            EXPECT_EQ(bench.m_app->m_closed, CPelicanApp::Closed::At9600);
        }
    }
}

}  // namespace
}  // namespace pelican::test
