// What is said about ports, how --port usb:/serial: finds one, and the ids
// inside Windows' device identifiers: text work, the same on every platform.
#include <gtest/gtest.h>

#include "link/HardwareId.h"
#include "link/PortNotes.h"
#include "link/PortSelector.h"
#include "support/UsbPort.h"

namespace pelican::test {
namespace {

TEST(PortNames, TheNamesBesideAPort) {
    PortInfo ftdi = UsbPort("/dev/ttyUSB0", 0x0403, 0x6001, "A6008isP");
    ftdi.manufacturer = "FTDI";
    ftdi.product = "FT232R USB UART";
    PortInfo silabs = UsbPort("/dev/ttyUSB1", 0x10c4, 0xea60, "");
    silabs.manufacturer = "Silicon Labs";
    silabs.product = "CP2102 USB to UART Bridge Controller";
    PortInfo maker = UsbPort("/dev/ttyACM0", 0x2341, 0x0043, "8573");
    maker.manufacturer = "Arduino (www.arduino.cc)";
    PortInfo windows = UsbPort("COM5", 0x0403, 0x6001, "A6008ISP");
    windows.friendlyName = "USB Serial Port (COM5)";
    windows.manufacturer = "FTDI";
    PortInfo uart;
    uart.path = "/dev/ttyS0";
    const struct {
        const PortInfo& port;
        const char* label;
        const char* candidate;
    } rows[] = {
        {ftdi, "FT232R USB UART (FTDI), serial A6008isP", "/dev/ttyUSB0 (0403:6001, serial A6008isP)"},
        // The maker is not said twice.
        {silabs, "CP2102 USB to UART Bridge Controller (Silicon Labs)", "/dev/ttyUSB1 (10c4:ea60)"},
        {maker, "Arduino (www.arduino.cc), serial 8573", "/dev/ttyACM0 (2341:0043, serial 8573)"},
        // Windows names the port in its friendly name: the list shows it already.
        {windows, "USB Serial Port (FTDI), serial A6008ISP", "COM5 (0403:6001, serial A6008ISP)"},
        {uart, "", "/dev/ttyS0"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PortLabel(row.port), row.label);
        EXPECT_EQ(CandidateText(row.port), row.candidate);
    }
}

TEST(PortNames, HoldersAndTheLatencyTimer) {
    PortInfo port = UsbPort("COM5", 0x0403, 0x6001, "A6008ISP");
    port.friendlyName = "USB Serial Port (COM5)";
    EXPECT_EQ(HoldersNote(port), "");
    port.holders = {{"minicom", 4242}, {"screen", 4300}, {"cat", 5001}};
    EXPECT_EQ(HoldersNote(port),
              "COM5 is open in minicom (pid 4242), screen (pid 4300) and cat (pid 5001): the board's answers may go "
              "there");
    // Only where the system keeps the timer and says what it is.
    EXPECT_EQ(LatencyNote(port), "");
    port.latencyTimerMs = 1;
    EXPECT_EQ(LatencyNote(port), "");
    port.latencyTimerMs = 16;
    EXPECT_EQ(LatencyNote(port),
              "COM5 is an FTDI adapter whose latency timer is 16 ms: it holds the end of every reply that long, "
              "which makes a page read at 115200 bps about 70 % slower; set it to 1 ms in Device Manager: Ports "
              "(COM & LPT), USB Serial Port (COM5), Properties, Port Settings, Advanced, Latency Timer (msec)");
    port.vendorId = 0x10c4;
    EXPECT_EQ(LatencyNote(port), "");
    EXPECT_TRUE(IsBrailleBridge(0x1a86, 0x7523));
    EXPECT_FALSE(IsBrailleBridge(0x0403, 0x6015));
}

TEST(PortSelector, WhatPortTakes) {
    const struct {
        const char* text;
        bool valid;
        bool name;
    } rows[] = {
        {"/dev/ttyUSB0", true, true},
        {"COM5", true, true},
        {"usb:0403:6001", true, false},
        {"usb:403:6001:A6008isP", true, false},
        {"USB:0403:6001", true, true},  // a name: the prefix is in small letters
        {"serial:A6008isP", true, false},
        {"serial:", false, false},
        {"usb:0403", false, false},
        {"usb:0403:", false, false},
        {"usb:0403:6001:", false, false},
        {"usb:04031:6001", false, false},
        {"usb:xyz:6001", false, false},
    };
    for (const auto& row : rows) {
        CPortSelector selector;
        std::string error;
        EXPECT_EQ(CPortSelector::Parse(row.text, selector, error), row.valid) << row.text;
        if (row.valid) {
            EXPECT_EQ(selector.IsName(), row.name) << row.text;
        } else {
            EXPECT_FALSE(error.empty()) << row.text;
        }
    }
}

TEST(PortSelector, ExactlyOnePresentPortOrTheCandidates) {
    PortSurvey survey;
    survey.ports = {UsbPort("/dev/ttyACM0", 0x2341, 0x0043, "8573"), UsbPort("/dev/ttyUSB0", 0x0403, 0x6001, "A1"),
                    UsbPort("/dev/ttyUSB1", 0x0403, 0x6001, "B2")};
    survey.ports.push_back(PortInfo{});
    survey.ports.back().path = "/dev/ttyS0";
    const struct {
        const char* text;
        const char* path;  // nullptr: not resolved
        const char* why;
    } rows[] = {
        {"usb:0403:6001:b2", "/dev/ttyUSB1", ""},  // serial numbers in either case
        {"serial:8573", "/dev/ttyACM0", ""},
        {"usb:2341:43", "/dev/ttyACM0", ""},
        {"/dev/ttyUSB7", "/dev/ttyUSB7", ""},  // a name is taken as it is
        {"usb:0403:6001", nullptr,
         "2 ports match usb:0403:6001: /dev/ttyUSB0 (0403:6001, serial A1), /dev/ttyUSB1 (0403:6001, serial B2); "
         "add the serial number of the one to use (usb:VID:PID:SERIAL)"},
        {"usb:0403:6015", nullptr,
         "no port matches usb:0403:6015; USB serial ports present: /dev/ttyACM0 (2341:0043, serial 8573), "
         "/dev/ttyUSB0 (0403:6001, serial A1), /dev/ttyUSB1 (0403:6001, serial B2)"},
        {"serial:C3", nullptr,
         "no port matches serial:C3; USB serial ports present: /dev/ttyACM0 (2341:0043, serial 8573), "
         "/dev/ttyUSB0 (0403:6001, serial A1), /dev/ttyUSB1 (0403:6001, serial B2)"},
    };
    for (const auto& row : rows) {
        CPortSelector selector;
        std::string error;
        ASSERT_TRUE(CPortSelector::Parse(row.text, selector, error)) << row.text;
        std::string path;
        std::string why;
        EXPECT_EQ(selector.Resolve(survey, path, why), row.path != nullptr) << row.text;
        EXPECT_EQ(path, row.path != nullptr ? row.path : "") << row.text;
        EXPECT_EQ(why, row.why) << row.text;
    }
    // Two adapters with the same number (clones often carry one) cannot be
    // told apart by it: name the port.
    survey.ports[2].serialNumber = "A1";
    CPortSelector selector;
    std::string error;
    ASSERT_TRUE(CPortSelector::Parse("serial:A1", selector, error));
    std::string path;
    std::string why;
    EXPECT_FALSE(selector.Resolve(survey, path, why));
    EXPECT_EQ(why, "2 ports match serial:A1: /dev/ttyUSB0 (0403:6001, serial A1), /dev/ttyUSB1 (0403:6001, serial A1); "
                   "name the one to use by its path");
    EXPECT_FALSE(selector.Resolve(PortSurvey{}, path, why));
    EXPECT_EQ(why, "no port matches serial:A1; no USB serial port is present");
}

TEST(HardwareId, TheIdsAndTheSerialNumberWindowsGives) {
    const struct {
        const char* hardwareId;
        bool usb;
        uint16_t vendor;
        uint16_t product;
    } ids[] = {
        {"USB\\VID_0403&PID_6001&REV_0600", true, 0x0403, 0x6001},
        {"FTDIBUS\\COMPORT&VID_0403&PID_6001", true, 0x0403, 0x6001},
        {"usb\\vid_10c4&pid_ea60", true, 0x10c4, 0xea60},
        {"FTDIBUS\\VID_0403+PID_6015+DN01ABCDA\\0000", true, 0x0403, 0x6015},
        {"ACPI\\PNP0501", false, 0, 0},
        {"USB\\VID_04G3&PID_6001", false, 0, 0},
        {"USB\\XVID_0403&PID_6001", false, 0, 0},  // not a field of its own
    };
    for (const auto& row : ids) {
        uint16_t vendor = 0;
        uint16_t product = 0;
        EXPECT_EQ(ParseUsbIds(row.hardwareId, vendor, product), row.usb) << row.hardwareId;
        EXPECT_EQ(vendor, row.vendor) << row.hardwareId;
        EXPECT_EQ(product, row.product) << row.hardwareId;
    }
    const struct {
        const char* instanceId;
        const char* serial;
        bool composite;
    } instances[] = {
        {"USB\\VID_2341&PID_0043\\85734323430351F0B0E1", "85734323430351F0B0E1", false},
        {"FTDIBUS\\VID_0403+PID_6001+A6008ISPA\\0000", "A6008ISP", false},  // channel A of adapter A6008ISP
        {"FTDIBUS\\VID_0403+PID_6010+FT4ZS6I1B\\0000", "FT4ZS6I1", false},  // channel B
        {"FTDIBUS\\VID_0403+PID_6001+6&2A8B2C1&0&2\\0000", "", false},    // no number of its own
        {"USB\\VID_1A86&PID_7523\\5&1F2C3B4&0&3", "", false},
        {"USB\\VID_1FC9&PID_0143&MI_00\\6&3A2B1C&0&0000", "", true},
        {"ACPI\\PNP0501\\1", "", false},  // an on-board UART: numbered by the bus
        {"ROOT\\PORTS\\0000", "", false},
        {"garbage", "", false},
    };
    for (const auto& row : instances) {
        EXPECT_EQ(SerialOfInstanceId(row.instanceId), row.serial) << row.instanceId;
        EXPECT_EQ(IsInterfaceOfComposite(row.instanceId), row.composite) << row.instanceId;
    }
}

}  // namespace
}  // namespace pelican::test
