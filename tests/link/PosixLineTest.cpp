// The termios back end on its own: parity marks decoded from byte streams,
// and on a pseudo-terminal that nobody serves, flow control and settings read
// back, signals during a write, a frame cut short, the COM names.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "link/ParityMarkDecoder.h"
#include "link/PortOpenError.h"
#include "link/posix/PosixSerialDevice.h"
#include "support/ScopedEnvironment.h"
#include "support/SimBench.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace pelican::test {
namespace {

TEST(ParityMarks, DecodedFromByteStreamsCutAnywhere) {
    const struct {
        Bytes in, out;
        uint32_t errors;
    } cases[] = {
        {{0x80, 0x0C}, {0x80, 0x0C}, 0},
        {{0xFF, 0xFF, 0x0C}, {0xFF, 0x0C}, 0},                   // a good FF
        {{0x80, 0xFF, 0x00, 0x0C}, {0x80, 0x0C}, kLineFraming},  // 0C damaged
        {{0xFF, 0x00, 0x00}, {0x00}, kLineBreak},
        {{0xFF, 0x00, 0xFF, 0xFF, 0xFF}, {0xFF, 0xFF}, kLineFraming},
        {{0xFF, 0x41}, {0xFF, 0x41}, 0},  // not a mark: data
    };
    for (const auto& c : cases) {
        for (size_t cut = 0; cut <= c.in.size(); ++cut) {
            CParityMarkDecoder decoder;
            std::deque<uint8_t> out;
            uint32_t errors = decoder.Decode(c.in.data(), cut, out);
            errors |= decoder.Decode(c.in.data() + cut, c.in.size() - cut, out);
            EXPECT_EQ(Bytes(out.begin(), out.end()), c.out) << cut;
            EXPECT_EQ(errors, c.errors) << cut;
        }
    }
    // A purge forgets a mark cut off at the end of what was read.
    CParityMarkDecoder decoder;
    std::deque<uint8_t> out;
    const uint8_t stream[] = {0x80, 0xFF, 0x00, 0x00};
    decoder.Decode(stream, 2, out);
    decoder.Reset();
    EXPECT_EQ(decoder.Decode(stream + 2, 2, out), 0u);
    EXPECT_EQ(Bytes(out.begin(), out.end()), (Bytes{0x80, 0x00, 0x00}));
}

// A terminal nobody serves: writes to it stall once its buffer is full.
struct RawPty {
    RawPty() : master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        char name[128] = {};
        if (::grantpt(master) == 0 && ::unlockpt(master) == 0 && ::ptsname_r(master, name, sizeof name) == 0)
            path = name;
    }
    ~RawPty() { ::close(master); }
    int master;
    std::string path;
};

TEST(PosixLine, OpenSwitchesFlowControlOffAndSettingsAreReadBack) {
    RawPty pty;
    termios tio{};
    const int previous = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY);  // the port's last user
    ASSERT_EQ(::tcgetattr(previous, &tio), 0);
    tio.c_cflag |= CRTSCTS;
    tio.c_iflag |= IXON | IXOFF | IXANY | IGNPAR;
    ASSERT_EQ(::tcsetattr(previous, TCSANOW, &tio), 0);
    ::close(previous);
    CPosixSerialDevice device;
    ASSERT_TRUE(device.Open(pty.path));
    ASSERT_EQ(::tcgetattr(static_cast<int>(device.Handle()), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | IGNPAR), 0u);
    EXPECT_EQ(tio.c_iflag & (PARMRK | INPCK), static_cast<tcflag_t>(PARMRK | INPCK));
    // A pseudo-terminal runs eight bits without parity whatever it is told.
    EXPECT_FALSE(device.SetLine(LineSettings{9600, 7, 0, 0}));
    EXPECT_FALSE(device.SetLine(LineSettings{9600, 8, 2, 0}));
    EXPECT_TRUE(device.SetLine(LineSettings{115200, 8, 0, 0}));
    LineSettings line;
    ASSERT_TRUE(device.GetLine(line));
    EXPECT_EQ(line.baudRate, 115200u);
}

// Why a port does not open, as the system says it and as the user is told:
// no such device, a file that is no terminal, a port another program holds,
// and a device of a group the user may join.
TEST(PosixLine, APortThatCannotBeOpenedIsToldWithItsReason) {
    CTempDir dir;
    dir.Write("plain", "not a device");
    RawPty held;
    const int holder = ::open(held.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const struct {
        std::string port;
        std::string told;
    } rows[] = {
        {dir.File("ttyUSB9"), "cannot open " + dir.File("ttyUSB9") + ": No such file or directory"},
        {dir.File("plain"), "cannot open " + dir.File("plain") + ": not a serial device"},
        {held.path, "cannot open " + held.path + ": in use by another program"},
    };
    for (const auto& row : rows) {
        CPosixSerialDevice device;
        EXPECT_FALSE(device.Open(row.port)) << row.port;
        EXPECT_EQ(DescribePortOpenError(row.port, device.OpenError()), row.told);
    }
    ::close(holder);
    // Opening it is refused only to a user outside the group, which root is
    // not: the advice comes from the device's group alone.
    const group* dialout = ::getgrnam("dialout");
    if (::getuid() != 0 || dialout == nullptr) GTEST_SKIP() << "needs root and a dialout group to give the device";
    RawPty board;
    ASSERT_EQ(::chown(board.path.c_str(), 0, dialout->gr_gid), 0);
    EXPECT_EQ(DescribePortOpenError(board.path, EACCES),
              "cannot open " + board.path +
                  ": Permission denied; the port belongs to the group dialout: join it (sudo adduser $USER "
                  "dialout) and log in again");
}

std::atomic<int> g_interruptions{0};
void Interrupted(int) { ++g_interruptions; }

// Bytes the terminal holds for the far end to read.
size_t Waiting(int fd) {
    int count = 0;
    return ::ioctl(fd, FIONREAD, &count) == 0 ? static_cast<size_t>(count) : 0;
}

TEST(PosixLine, SignalsDoNotCutAFrameAndACutFrameIsNotSent) {
    struct sigaction action {};
    action.sa_handler = Interrupted;  // no SA_RESTART: a wait ends in EINTR
    const CScopedSignal handler(SIGUSR2, action);
    ASSERT_TRUE(handler.Installed());
    RawPty pty;
    CSerialComm port(std::make_unique<CPosixSerialDevice>(), RealClock());
    ASSERT_EQ(port.Open(pty.path), 1);
    ASSERT_EQ(port.SetState(CSerialCommState(921600, 8, 0, 0)), 1);
    Bytes frame(32768);  // more than the terminal holds
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i % 251);
    const pthread_t writer = ::pthread_self();
    Bytes got(frame.size() + 1);
    size_t length = 0;
    g_interruptions = 0;
    std::thread farEnd([&] {
        // The terminal fills while nobody reads it: the writer is then held
        // in the middle of the frame, where each signal finds it.
        if (!WaitFor([&] { return Waiting(pty.master) > 0; })) return;
        for (int i = 1; i <= 5; ++i) {
            ::pthread_kill(writer, SIGUSR2);
            if (!WaitFor([i] { return g_interruptions >= i; })) break;
        }
        pollfd pfd{pty.master, POLLIN, 0};
        while (length < frame.size() && ::poll(&pfd, 1, 5000) > 0)
            length += static_cast<size_t>(std::max<ssize_t>(0, ::read(pty.master, &got[length], got.size() - length)));
    });
    EXPECT_EQ(port.Send(frame.data(), frame.size()), 32768);
    farEnd.join();
    EXPECT_EQ(g_interruptions, 5);
    got.resize(length);
    EXPECT_EQ(got, frame);

    // The far end goes away in the middle of the next frame, once the
    // terminal holds the part of it that fits.
    std::thread unplug([&] {
        WaitFor([&] { return Waiting(pty.master) > 0; });
        ::close(pty.master);
        pty.master = -1;
    });
    EXPECT_EQ(port.Send(frame.data(), frame.size()), 0);
    unplug.join();
    // Told as a device gone, in the system's words for the failed call.
    EXPECT_EQ(port.Fault().error, ENODEV);
    EXPECT_EQ(port.Fault().text, "Input/output error");
}

TEST(PosixLine, ComNamesInAnyLetterCase) {
    const std::pair<std::string, std::string> names[] = {
        {"COM1", "/dev/ttyS0"}, {"com2", "/dev/ttyS1"}, {"Com3", "/dev/ttyS2"}, {"cOM4", "/dev/ttyS3"},
        {"COM5", "COM5"},       {"com0", "com0"},       {"COM12", "COM12"},    {"/dev/ttyUSB0", "/dev/ttyUSB0"}};
    for (const auto& [name, path] : names) EXPECT_EQ(CPosixSerialDevice::DevicePath(name), path) << name;
}

}  // namespace
}  // namespace pelican::test
