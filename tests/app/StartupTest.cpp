// Start-up, the stored link settings, the single-instance rule and Exit,
// against the simulated board with scripted windows.
#include <fcntl.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/file.h>
#endif
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "commands/SetCommDlg.h"
#include "app/S_PrgDlg.h"
#include "app/PelicanDlg.h"
#include "app/FirstSetDlg.h"
#include "app/AppBench.h"
#include "link/PortLock.h"
#include "sys/InstanceLock.h"
#include "support/FrameEncoder.h"

namespace pelican::test {
namespace {

using ui::Icon;
using Messages = std::vector<std::pair<std::string, Icon>>;
const Bytes kExitAt9600 = {0xB0, 0xB0, 0xB0};

TEST(Startup, FreshStartStaysAt9600AndWritesTheSection) {
    CAppBench bench;
    bench.SelectProgram();
    bool linkAtMainWindow = false;
    bench.Run([&] { linkAtMainWindow = bench.m_app->m_linkReady == 1; });

    EXPECT_TRUE(linkAtMainWindow);
    EXPECT_EQ(bench.m_sim.Received(), wire::Cat({wire::Sync(), {0x70, 0x50}, kExitAt9600}));
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(9600));
    EXPECT_EQ(bench.m_app->m_idChecked, 0);
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    EXPECT_EQ(bench.m_ui.m_shownDialogs, (std::vector<int>{156, 129, 102}));
    EXPECT_FALSE(bench.m_app->m_port.IsOpen());
}

TEST(Startup, StoredRateIsRestoredAndExitReturnsTo9600) {
    CAppBench bench;
    bench.StoreRate(38400);
    bench.SelectProgram();
    uint32_t boardRate = 0;
    bench.Run([&] { boardRate = bench.m_sim.Board().BaudRate(); });

    EXPECT_EQ(boardRate, 38400u);
    // B0 confirms 9600, B2 asks for 38400 at 9600, B2 again at 38400; at exit
    // B2 confirms 38400, B0 asks for 9600, B0 again at 9600.
    EXPECT_EQ(bench.m_sim.Received(),
              wire::Cat({wire::Sync(), {0xB0, 0xB2, 0xB2, 0x70, 0x50}, {0xB2, 0xB0, 0xB0}}));
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(38400));
}

TEST(Startup, SettingsThatDoNotLoadKeepTheLinkAt9600) {
    for (const std::string file : {"[Last Comm State]\nBaundrate=38400\n",
                                   "[Last Comm State]\nBaundrate=38400\nByte=256\nStop Bit=0\nParity=0\n",
                                   "[Last Comm State]\nBaundrate=fast\nByte=8\nStop Bit=0\nParity=0\n",
                                   "[Other]\nBaundrate=38400\nByte=8\nStop Bit=0\nParity=0\n"}) {
        CAppBench bench;
        bench.WriteSettings(file);
        bench.SelectProgram();
        bench.Run();
        EXPECT_EQ(bench.m_sim.Received(), wire::Cat({wire::Sync(), {0x70, 0x50}, kExitAt9600})) << file;
        EXPECT_NE(bench.Settings().find(CAppBench::CleanSection(9600)), std::string::npos) << file;
    }
}

TEST(Startup, ByteSizeUsesItsLowEightBits) {
    CAppBench bench;
    bench.WriteSettings("[Last Comm State]\nBaundrate=19200\nByte=264\nStop Bit=0\nParity=0\n");
    bench.SelectProgram();
    uint32_t boardRate = 0;
    bench.Run([&] { boardRate = bench.m_sim.Board().BaudRate(); });
    EXPECT_EQ(boardRate, 19200u);
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(19200));
}

TEST(Startup, StoredRateTheBoardRefusesWarnsAndStaysAt9600) {
    CAppBench bench;
    bench.WriteSettings("[Last Comm State]\nBaundrate=14400\nByte=8\nStop Bit=0\nParity=0\n");
    bench.SelectProgram();
    bench.Run();
    EXPECT_EQ(bench.Messages(),
              (Messages{{"Can not set last baudrate.\nBaudrate is 9600bps now.", Icon::Warning}}));
    EXPECT_EQ(bench.m_sim.Received(), wire::Cat({wire::Sync(), {0xB0, 0x00, 0xB0, 0x70, 0x50}, kExitAt9600}));
    EXPECT_EQ(bench.Settings(), CAppBench::CleanSection(9600));
    EXPECT_EQ(bench.m_app->m_linkReady, 1);
}

TEST(Startup, IdAlreadyPassedOnTheDeviceSetsTheFlag) {
    CAppBench bench;
    bench.m_sim.PassId();
    bench.SelectProgram();
    bench.Run();
    EXPECT_EQ(bench.m_app->m_idChecked, 1);
}

TEST(Startup, SilentStatusReadWithFirstSetCancelled) {
    sim::BoardConfig config;
    config.faults.silentFrom = {0x70, 1};
    CAppBench bench(config);
    bench.SelectProgram();
    bench.m_ui.Press(CFirstSetDlg::IDD, ui::IDCANCEL);
    bench.m_ui.Press(CPelicanDlg::IDD, CPelicanDlg::IDC_SETTING);
    const uint64_t start = bench.m_sim.Clock().NowMs();
    bench.Run();

    EXPECT_EQ(bench.Messages(), (Messages{{"Can not communicate to outside.", Icon::Stop},
                                          {"Can not communicate.", Icon::Information},
                                          {"Can not set baudrate to 9600bps.", Icon::Warning}}));
    EXPECT_EQ(bench.m_app->m_linkReady, 0);
    // Nothing is stored when the device never answered a status read.
    EXPECT_EQ(bench.Settings(), "");
    // The status read and the exit's first echo each waited the 5 s time-out.
    EXPECT_GE(bench.m_sim.Clock().NowMs() - start, 10000u);
}

TEST(Startup, ALineErrorInTheFirstStatusReadWithFirstSetAcceptedRunsTheSettingDialog) {
    sim::BoardConfig config;
    config.faults.lineError = {0x70, 1};
    CAppBench bench(config);
    bench.SelectProgram();
    bench.m_ui.Press(CFirstSetDlg::IDD, ui::IDOK);
    bench.m_ui.SetText(CSetCommDlg::IDD, CSetCommDlg::IDC_BAUDRATE, "57600");
    bench.m_ui.Press(CSetCommDlg::IDD, ui::IDOK);
    uint32_t boardRate = 0;
    bench.Run([&] { boardRate = bench.m_sim.Board().BaudRate(); });
    EXPECT_EQ(boardRate, 57600u);
    EXPECT_EQ(bench.m_app->m_linkReady, 1);
    for (const auto& m : bench.m_ui.m_messages) ADD_FAILURE() << m.text;
    for (const auto& p : bench.m_ui.m_problems) ADD_FAILURE() << p;
    EXPECT_EQ(bench.m_sim.Board().BaudRate(), 9600u);
}

// A batch run holds the port: the window program sends nothing on it, says
// so and offers "Select Program" again; the port it then takes is held
// against batch runs until it ends.
TEST(Startup, APortABatchRunHoldsIsOfferedAgainAndTheChosenPortIsHeld) {
    CAppBench bench;
    CInstanceLock batchRun;
    ASSERT_TRUE(batchRun.Acquire(PortLockName("COM2")));
    bench.SelectProgram("COM2");
    bench.SelectProgram("COM1");
    bool heldMeanwhile = false;
    bench.Run([&] {
        CInstanceLock another;
        heldMeanwhile = !another.Acquire(PortLockName("COM1")) && another.Why() == CInstanceLock::Failure::Held;
    });
    EXPECT_EQ(bench.Messages(), (Messages{{"Another run of this program is using COM2.", Icon::Stop}}));
    EXPECT_EQ(bench.m_app->m_linkReady, 1);
    EXPECT_TRUE(heldMeanwhile);
    bench.m_app.reset();
    CInstanceLock afterwards;
    EXPECT_TRUE(afterwards.Acquire(PortLockName("COM1")));
}

TEST(Startup, SecondCopyIsRefused) {
    CAppBench bench;
    CInstanceLock first;
    ASSERT_TRUE(first.Acquire("PELICAN.exe"));
    bench.Run();
    EXPECT_EQ(bench.Messages(), (Messages{{"This program is already running.", Icon::Stop}}));
    EXPECT_TRUE(bench.m_ui.m_shownDialogs.empty());
    EXPECT_TRUE(bench.m_sim.Received().empty());
    // The first copy is not disturbed and keeps its lock.
    EXPECT_TRUE(first.Held());
}

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST(Startup, AnUnusableRuntimeFolderIsNamedNotTakenForASecondCopy) {
    CAppBench bench;
    const std::string missing = bench.m_dir.File("run/user/1000");
    bench.m_env.Set("XDG_RUNTIME_DIR", missing);
    bench.Run();
    EXPECT_EQ(bench.Messages(),
              (Messages{{"Can not make the lock file in " + missing + ": No such file or directory.", Icon::Stop}}));
    EXPECT_EQ(bench.m_app->m_startup, CPelicanApp::Startup::LockFolderUnusable);
    EXPECT_TRUE(bench.m_ui.m_shownDialogs.empty());
    EXPECT_TRUE(bench.m_sim.Received().empty());
}
#endif  // POSIX

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST(Startup, WithoutARuntimeFolderTheSharedLockCarriesTheUserId) {
    // XDG_RUNTIME_DIR unset, empty or relative: the lock goes to the shared
    // temporary folder, where a lock of another user's copy (here held on the
    // name without a user id) must not stop this user.
    CAppBench bench;
    bench.m_env.Set("TMPDIR", bench.m_dir.Path());
    const int other = ::open(bench.m_dir.File("PELICAN.exe.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    for (const char* value : {static_cast<const char*>(nullptr), "", "run/user"}) {
        if (value == nullptr)
            bench.m_env.Unset("XDG_RUNTIME_DIR");
        else
            bench.m_env.Set("XDG_RUNTIME_DIR", value);
        CInstanceLock lock;
        EXPECT_TRUE(lock.Acquire("PELICAN.exe")) << (value ? value : "unset");
    }
    EXPECT_EQ(::access(bench.m_dir.File("PELICAN.exe-" + std::to_string(::getuid()) + ".lock").c_str(), F_OK), 0);
    ::close(other);
}
#endif  // POSIX

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
TEST(Startup, ACrashedCopyLeavesNothingBehind) {
    CAppBench bench;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CInstanceLock lock;
        if (lock.Acquire("PELICAN.exe")) ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    bench.SelectProgram();
    bench.Run();
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_EQ(bench.m_app->m_linkReady, 1);
}
#endif  // POSIX

TEST(Startup, CancelledSelectProgramEndsQuietly) {
    CAppBench bench;
    bench.m_ui.Press(CS_PrgDlg::IDD, ui::IDCANCEL);
    bench.Run();
    EXPECT_TRUE(bench.m_ui.m_messages.empty());
    EXPECT_TRUE(bench.m_sim.Received().empty());
    CInstanceLock again;
    EXPECT_TRUE(again.Acquire("PELICAN.exe"));
}

#ifndef _WIN32  // permissions, links, pipes or processes of POSIX
// A port this user may not open: nothing goes on the wire, no RESET is asked
// for; the group to join is named and "Select Program" comes back, so a
// port that does open can still be taken.
TEST(Startup, APortWithoutPermissionNamesWhatToDoAndOffersThePortsAgain) {
    CAppBench bench;
    bench.m_link->RefuseOpen(EACCES);
    bench.m_ui.m_onMessage = [&](const ui::MessageRecord&) { bench.m_link->RefuseOpen(0); };
    bench.SelectProgram("COM1");
    bench.SelectProgram("COM1");
    bench.Run();
    ASSERT_FALSE(bench.m_ui.m_messages.empty());
    const auto& told = bench.m_ui.m_messages.front();
    EXPECT_EQ(told.icon, ui::Icon::Stop);
    // Told the group of the machine's own /dev/ttyS0 (dialout on Debian), or
    // to ask for access where root's own group holds it.
    const std::string port = "You have no permission to use the port COM1 (/dev/ttyS0).\n";
    EXPECT_TRUE(told.text == port + "It belongs to the group dialout: join it (sudo adduser $USER dialout) and log in again." ||
                told.text == port + "Ask the administrator of this computer for access to it.")
        << told.text;
    EXPECT_EQ(bench.m_ui.m_messages.size(), 1u);
    EXPECT_EQ(bench.m_app->m_linkReady, 1);
    const Bytes received = bench.m_sim.Received();
    ASSERT_GE(received.size(), wire::Sync().size());
    EXPECT_EQ(Bytes(received.begin(), received.begin() + wire::Sync().size()), wire::Sync());
}
#endif  // POSIX

// A port another program holds: who holds it, where the system says, and
// "Select Program" again, with nothing sent; the port, once free, is taken.
TEST(Startup, APortAnotherProgramHoldsIsToldWithItsHolderAndOfferedAgain) {
    const struct {
        std::vector<PortHolder> holders;
        const char* text;
    } cases[] = {
        {{}, "COM1 is in use by another program."},
        {{{"minicom", 4242}}, "COM1 is in use by minicom (pid 4242)."},
        {{{"minicom", 4242}, {"screen", 4301}}, "COM1 is in use by minicom (pid 4242) and screen (pid 4301)."},
    };
    for (const auto& c : cases) {
        CAppBench bench;
        PortSurvey survey;
        survey.ports.resize(1);
        survey.ports[0].path = "COM1";
        survey.ports[0].holders = c.holders;
        bench.m_app->m_survey = [survey] { return survey; };
        bench.m_link->RefuseOpen(EBUSY);
        bench.m_ui.m_onMessage = [&](const ui::MessageRecord&) {
            EXPECT_TRUE(bench.m_sim.Received().empty()) << c.text;
            bench.m_link->RefuseOpen(0);
        };
        bench.SelectProgram("COM1");
        bench.SelectProgram("COM1");
        bench.Run();
        EXPECT_EQ(bench.Messages(), (Messages{{c.text, Icon::Stop}}));
        EXPECT_EQ(bench.m_app->m_linkReady, 1) << c.text;
    }
}

TEST(Startup, APortWithoutPermissionThenCancelEndsWithoutTouchingTheLine) {
    CAppBench bench;
    bench.m_link->RefuseOpen(EPERM);
    bench.SelectProgram("COM1");
    bench.m_ui.Press(CS_PrgDlg::IDD, ui::IDCANCEL);
    bench.Run();
    EXPECT_EQ(bench.m_app->m_startup, CPelicanApp::Startup::Cancelled);
    ASSERT_EQ(bench.m_ui.m_messages.size(), 1u);
    EXPECT_EQ(bench.m_ui.m_messages[0].icon, ui::Icon::Stop);
    EXPECT_TRUE(bench.m_sim.Received().empty());
}

TEST(Startup, TargetAndPortComeFromSelectProgram) {
    // The board is on COM3, not the default COM1: only the port chosen
    // reaches it, and the target chosen decides the file dialog that follows.
    for (const int target : {0, 1}) {
        SCOPED_TRACE(target);
        CAppBench bench;
        bench.m_app = std::make_unique<CPelicanApp>(bench.m_sim.MakeDevice("COM3"), bench.m_sim.Clock());
        bench.SelectProgram("COM3", target);
        bool heldMeanwhile = false;
        bench.Run([&] {
            CInstanceLock another;
            heldMeanwhile = !another.Acquire(PortLockName("COM3")) && another.Why() == CInstanceLock::Failure::Held;
        });
        EXPECT_EQ(bench.m_app->m_target, target);
        EXPECT_EQ(bench.m_app->m_linkReady, 1);
        EXPECT_TRUE(heldMeanwhile);
        EXPECT_EQ(bench.Messages(), Messages{});
        const int fileDialog = target == 1 ? static_cast<int>(CSelectDlg::IDD) : static_cast<int>(CIDCheckDlg::IDD);
        EXPECT_EQ(bench.m_ui.m_shownDialogs, (std::vector<int>{CS_PrgDlg::IDD, fileDialog, CPelicanDlg::IDD}));
        EXPECT_EQ(bench.m_sim.Received(), wire::Cat({wire::Sync(), {0x70, 0x50}, kExitAt9600}));
    }
}

TEST(Startup, SelectProgramShowsTheAdaptersNamesAndAnEntryOpensItsPort) {
    const std::vector<std::string> ports = {"COM1", "COM2", "/dev/ttyUSB0"};
    const std::map<std::string, std::string> labels = {{"COM1", "FT232R USB UART (FTDI), serial A1"}};
    const ui::DialogTemplate tmpl = CS_PrgDlg::MakeTemplate(ports, labels);
    EXPECT_EQ(tmpl.controls.at(5).items,
              (std::vector<std::string>{"COM1 - FT232R USB UART (FTDI), serial A1", "COM2", "/dev/ttyUSB0"}));
    CAppBench bench;
    bench.m_app->m_portList = ports;
    bench.m_app->m_portLabels = labels;
    // The entry picked from the list, as the combo box's edit field then holds it.
    bench.SelectProgram("COM1 - FT232R USB UART (FTDI), serial A1");
    bench.Run();
    EXPECT_EQ(bench.m_app->m_linkReady, 1);  // the simulated board answers on COM1 only
    EXPECT_EQ(bench.Messages(), Messages{});
}

}  // namespace
}  // namespace pelican::test
