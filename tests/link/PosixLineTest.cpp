// The termios back end on its own, on a pseudo-terminal that nobody serves:
// flow control and settings read back, the COM names.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include "link/PosixSerialDevice.h"
#include "support/SimBench.h"

namespace pelican::test {
namespace {

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
    tio.c_iflag |= IXON | IXOFF | IXANY;
    ASSERT_EQ(::tcsetattr(previous, TCSANOW, &tio), 0);
    ::close(previous);
    CPosixSerialDevice device;
    ASSERT_TRUE(device.Open(pty.path));
    ASSERT_EQ(::tcgetattr(static_cast<int>(device.Handle()), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u);
    // A pseudo-terminal runs eight bits without parity whatever it is told.
    EXPECT_FALSE(device.SetLine(LineSettings{9600, 7, 0, 0}));
    EXPECT_FALSE(device.SetLine(LineSettings{9600, 8, 2, 0}));
    EXPECT_TRUE(device.SetLine(LineSettings{115200, 8, 0, 0}));
    LineSettings line;
    ASSERT_TRUE(device.GetLine(line));
    EXPECT_EQ(line.baudRate, 115200u);
}

TEST(PosixLine, ComNamesInAnyLetterCase) {
    const std::pair<std::string, std::string> names[] = {
        {"COM1", "/dev/ttyS0"}, {"com2", "/dev/ttyS1"}, {"Com3", "/dev/ttyS2"}, {"cOM4", "/dev/ttyS3"},
        {"COM5", "COM5"},       {"com0", "com0"},       {"COM12", "COM12"},    {"/dev/ttyUSB0", "/dev/ttyUSB0"}};
    for (const auto& [name, path] : names) EXPECT_EQ(CPosixSerialDevice::DevicePath(name), path) << name;
}

}  // namespace
}  // namespace pelican::test
