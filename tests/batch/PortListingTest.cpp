// What `pelican --list-ports` prints for a survey: every port with what
// identifies it, who holds it and what may be in its way, then the notes on
// adapters without a port; as text and as JSON lines.
#include <gtest/gtest.h>

#include "cli/PortListing.h"
#include "support/UsbPort.h"

namespace pelican::test {
namespace {

PortInfo Usb(const std::string& path, uint16_t vid, uint16_t pid, const std::string& maker, const std::string& product,
             const std::string& serial, const std::string& driver) {
    PortInfo port = UsbPort(path, vid, pid, serial);
    port.manufacturer = maker;
    port.product = product;
    port.driver = driver;
    return port;
}

// A CDC-ACM board ModemManager probes, an on-board UART, an FTDI adapter
// held by minicom, and a CH340 brltty took.
PortSurvey Machine() {
    PortSurvey survey;
    survey.modemManagerRunning = true;
    survey.brlttyRunning = true;
    PortInfo acm = Usb("/dev/ttyACM0", 0x2341, 0x0043, "Arduino (www.arduino.cc)", "", "85734323430351F0B0E1", "cdc_acm");
    acm.byId = "/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_85734323430351F0B0E1-if00";
    PortInfo uart;
    uart.path = "/dev/ttyS0";
    uart.driver = "serial";
    PortInfo ftdi = Usb("/dev/ttyUSB0", 0x0403, 0x6001, "FTDI", "FT232R USB UART", "A6008isP", "ftdi_sio");
    ftdi.byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0";
    ftdi.holders = {{"minicom", 4242}, {"screen", 77}};
    survey.ports = {acm, uart, ftdi};
    survey.portless = {Usb("", 0x1a86, 0x7523, "", "USB2.0-Serial", "", "usbfs")};
    return survey;
}

const std::string kModemManager =
    "ModemManager is running: it probes CDC-ACM ports such as /dev/ttyACM0 when they appear (it sends them AT "
    "commands and holds them a while); keep it away from the adapter with a udev rule "
    "(ENV{ID_MM_DEVICE_IGNORE}=\"1\", as in the example 60-pelican.rules among Pelican's documentation) or stop it "
    "(sudo systemctl stop ModemManager)";
const std::string kBrltty =
    "brltty is running and has taken the USB serial adapter 1a86:7523 (USB2.0-Serial) for a braille display, so it "
    "has no port; where no braille display is used, remove brltty (sudo apt remove brltty) and plug the adapter in "
    "again";

TEST(PortListing, TextGivesEachPortItsLinesThenTheNotes) {
    const std::vector<std::string> expected = {
        "/dev/ttyACM0  Arduino (www.arduino.cc), serial 85734323430351F0B0E1",
        "  usb: 2341:0043 (--port usb:2341:0043:85734323430351F0B0E1)",
        "  by-id: /dev/serial/by-id/usb-Arduino__www.arduino.cc__0043_85734323430351F0B0E1-if00",
        "  driver: cdc_acm",
        "  note: " + kModemManager,
        "/dev/ttyS0",
        "  driver: serial",
        "/dev/ttyUSB0  FT232R USB UART (FTDI), serial A6008isP",
        "  usb: 0403:6001 (--port usb:0403:6001:A6008isP)",
        "  by-id: /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0",
        "  driver: ftdi_sio",
        "  open in: minicom (pid 4242), screen (pid 77)",
        "note: " + kBrltty,
    };
    EXPECT_EQ(PortListingLines(Machine(), false), expected);
}

TEST(PortListing, WindowsAdapterWithItsNameAndLatencyTimer) {
    PortSurvey survey;
    PortInfo port = Usb("COM5", 0x0403, 0x6001, "FTDI", "", "", "usbser");
    port.friendlyName = "USB Serial Port (COM5)";
    port.latencyTimerMs = 16;
    survey.ports = {port};
    const std::vector<std::string> expected = {
        // Without a product string the system's name for it stands in.
        "COM5  USB Serial Port (FTDI)",
        "  usb: 0403:6001 (--port usb:0403:6001)",
        "  driver: usbser",
        "  name: USB Serial Port (COM5)",
        "  latency timer: 16 ms",
        "  note: COM5 is an FTDI adapter whose latency timer is 16 ms: it holds the end of every reply that long, "
        "which makes a page read at 115200 bps about 70 % slower; set it to 1 ms in Device Manager: Ports (COM & "
        "LPT), USB Serial Port (COM5), Properties, Port Settings, Advanced, Latency Timer (msec)",
    };
    EXPECT_EQ(PortListingLines(survey, false), expected);
}

TEST(PortListing, JsonGivesOneObjectAPortAndANote) {
    const std::vector<std::string> lines = PortListingLines(Machine(), true);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1],
              R"({"event":"port","path":"/dev/ttyS0","label":"","by_id":"","usb":false,"vid":"","pid":"",)"
              R"("manufacturer":"","product":"","serial":"","driver":"serial","friendly_name":"","holders":[],)"
              R"("notes":[]})");
    EXPECT_EQ(lines[2],
              R"({"event":"port","path":"/dev/ttyUSB0","label":"FT232R USB UART (FTDI), serial A6008isP",)"
              R"("by_id":"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0","usb":true,)"
              R"("vid":"0403","pid":"6001","manufacturer":"FTDI","product":"FT232R USB UART","serial":"A6008isP",)"
              R"("driver":"ftdi_sio","friendly_name":"",)"
              R"("holders":[{"program":"minicom","pid":4242},{"program":"screen","pid":77}],"notes":[]})");
    EXPECT_NE(lines[0].find(R"("notes":["ModemManager is running: )"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[3], R"({"event":"note","text":")" + kBrltty + R"("})");
}

TEST(PortListing, AMachineWithoutPortsSaysSo) {
    EXPECT_EQ(PortListingLines(PortSurvey{}, false), std::vector<std::string>{"no serial ports found"});
    EXPECT_EQ(PortListingLines(PortSurvey{}, true), std::vector<std::string>{});
}

}  // namespace
}  // namespace pelican::test
