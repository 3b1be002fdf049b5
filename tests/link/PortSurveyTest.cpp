// The Linux port survey on a tree of its own: sysfs as the kernel lays it
// out for a USB serial adapter, a CDC-ACM board and an on-board UART, the
// /dev nodes with their by-id links, and /proc with the programs that run
// and the descriptors they hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/PortNotes.h"
#include "link/posix/PosixPortSurvey.h"
#include "support/TempDir.h"

namespace pelican::test {
namespace {

namespace fs = std::filesystem;

constexpr int kSelf = 100;  // the process looking

class CFakeSystem {
public:
    CFakeSystem() {
        const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/";
        Dir("sys/bus/usb-serial/drivers/ftdi_sio");
        Dir("sys/bus/usb/drivers/cdc_acm");
        Dir("sys/bus/usb/drivers/usbfs");
        Dir("sys/bus/serial-base/drivers/port");
        Dir("sys/bus/pnp/drivers/serial");
        // An FTDI adapter: the USB device, its interface, the usb-serial port
        // device (driven by ftdi_sio), and the tty.
        UsbDevice(usb + "1-2", "0403", "6001", "FTDI", "FT232R USB UART", "A6008isP");
        Link(usb + "1-2/1-2:1.0/ttyUSB0/driver", "sys/bus/usb-serial/drivers/ftdi_sio");
        Tty(usb + "1-2/1-2:1.0/ttyUSB0/tty/ttyUSB0", usb + "1-2/1-2:1.0/ttyUSB0");
        // A board of its own on CDC-ACM: the interface is the tty's device;
        // this one reports no product string.
        UsbDevice(usb + "1-3", "2341", "0043", "Arduino (www.arduino.cc)", "", "85734323430351F0B0E1");
        Link(usb + "1-3/1-3:1.0/driver", "sys/bus/usb/drivers/cdc_acm");
        Tty(usb + "1-3/1-3:1.0/tty/ttyACM0", usb + "1-3/1-3:1.0");
        // A CH340 that brltty took through usbfs: a USB device, no tty.
        UsbDevice(usb + "1-4", "1a86", "7523", "", "USB2.0-Serial", "");
        Link(usb + "1-4/1-4:1.0/driver", "sys/bus/usb/drivers/usbfs");
        // A UART on the board, behind the serial core's port device; the
        // slot ttyS1 is empty (type 0).
        const std::string pnp = "sys/devices/pnp0/00:00/";
        Link(pnp + "driver", "sys/bus/pnp/drivers/serial");
        Link(pnp + "00:00:0/00:00:0.0/driver", "sys/bus/serial-base/drivers/port");
        Tty(pnp + "00:00:0/00:00:0.0/tty/ttyS0", pnp + "00:00:0/00:00:0.0");
        File(pnp + "00:00:0/00:00:0.0/tty/ttyS0/type", "4\n");
        Tty("sys/devices/platform/serial8250/serial8250:0/serial8250:0.1/tty/ttyS1",
            "sys/devices/platform/serial8250/serial8250:0/serial8250:0.1");
        File("sys/devices/platform/serial8250/serial8250:0/serial8250:0.1/tty/ttyS1/type", "0\n");
        // A virtual console: no device behind it. A port whose node is gone.
        Dir("sys/devices/virtual/tty/tty1");
        Link("sys/class/tty/tty1", "sys/devices/virtual/tty/tty1");
        Tty(usb + "1-5/1-5:1.0/ttyUSB9/tty/ttyUSB9", usb + "1-5/1-5:1.0/ttyUSB9");
        for (const char* node : {"ttyUSB0", "ttyACM0", "ttyS0", "ttyS1", "tty1"}) File(std::string("dev/") + node, "");
        Link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0", "dev/ttyUSB0");

        // minicom holds the adapter twice over, ModemManager the board, and
        // this process the adapter too (it is not another program).
        Process(4242, "minicom", {"dev/ttyUSB0", "dev/ttyUSB0", "dev/null"});
        Process(812, "ModemManager", {"dev/ttyACM0"});
        Process(kSelf, "pelican", {"dev/ttyUSB0"});
        File("proc/meminfo", "MemTotal: 1 kB\n");
    }

    SystemRoots Roots() const { return SystemRoots{At("sys"), At("dev"), At("proc"), kSelf}; }
    std::string At(const std::string& path) const { return m_dir.Path() + "/" + path; }
    void Process(int pid, const std::string& comm, const std::vector<std::string>& fds) {
        const std::string dir = "proc/" + std::to_string(pid);
        File(dir + "/comm", comm + "\n");
        Dir(dir + "/fd");
        for (size_t i = 0; i < fds.size(); ++i)
            fs::create_symlink(At(fds[i]), At(dir + "/fd/" + std::to_string(i + 3)));
    }
    // The text with the tree's root taken out of every path in it:
    // "/dev/ttyUSB0" for ROOT/dev/ttyUSB0.
    std::string Plain(std::string text) const {
        for (size_t at = text.find(m_dir.Path()); at != std::string::npos; at = text.find(m_dir.Path(), at))
            text.erase(at, m_dir.Path().size());
        return text;
    }

private:
    void Dir(const std::string& path) const { fs::create_directories(At(path)); }
    void File(const std::string& path, const std::string& text) const {
        Dir(fs::path(path).parent_path().string());
        std::ofstream(At(path)) << text;
    }
    // A relative link, as the kernel makes them.
    void Link(const std::string& path, const std::string& target) const {
        Dir(fs::path(path).parent_path().string());
        fs::create_symlink(fs::relative(At(target), fs::path(At(path)).parent_path()), At(path));
    }
    void UsbDevice(const std::string& dir, const char* vendor, const char* product, const char* maker,
                   const char* name, const char* serial) const {
        File(dir + "/idVendor", std::string(vendor) + "\n");
        File(dir + "/idProduct", std::string(product) + "\n");
        if (*maker) File(dir + "/manufacturer", std::string(maker) + "\n");
        if (*name) File(dir + "/product", std::string(name) + "\n");
        if (*serial) File(dir + "/serial", std::string(serial) + "\n");
        const std::string busName = fs::path(dir).filename().string();
        Link("sys/bus/usb/devices/" + busName, dir);
        Dir(dir + "/" + busName + ":1.0");
        Link("sys/bus/usb/devices/" + busName + ":1.0", dir + "/" + busName + ":1.0");
    }
    void Tty(const std::string& dir, const std::string& device) const {
        Dir(dir);
        Link(dir + "/device", device);
        Link("sys/class/tty/" + fs::path(dir).filename().string(), dir);
    }

    CTempDir m_dir;
};

std::string Described(const CFakeSystem& system, const PortInfo& port) {
    std::string text = system.Plain(port.path);
    if (!port.byId.empty()) text += " by-id=" + system.Plain(port.byId);
    if (port.usb) text += " usb=" + UsbIds(port);
    if (!port.manufacturer.empty()) text += " maker=" + port.manufacturer;
    if (!port.product.empty()) text += " product=" + port.product;
    if (!port.serialNumber.empty()) text += " serial=" + port.serialNumber;
    if (!port.driver.empty()) text += " driver=" + port.driver;
    for (const PortHolder& holder : port.holders) text += " held=" + holder.program + "/" + std::to_string(holder.pid);
    return text;
}

TEST(PortSurvey, EveryPortWithWhatIdentifiesItAndWhoHoldsIt) {
    CFakeSystem system;
    const PortSurvey survey = SurveyPorts(system.Roots());
    std::vector<std::string> ports;
    for (const PortInfo& port : survey.ports) ports.push_back(Described(system, port));
    EXPECT_EQ(ports, (std::vector<std::string>{
                         "/dev/ttyACM0 usb=2341:0043 maker=Arduino (www.arduino.cc) serial=85734323430351F0B0E1 "
                         "driver=cdc_acm held=ModemManager/812",
                         "/dev/ttyS0 driver=serial",
                         "/dev/ttyUSB0 by-id=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0 "
                         "usb=0403:6001 maker=FTDI product=FT232R USB UART serial=A6008isP driver=ftdi_sio "
                         "held=minicom/4242",
                     }));
    EXPECT_TRUE(survey.modemManagerRunning);
    EXPECT_FALSE(survey.brlttyRunning);
    EXPECT_TRUE(survey.portless.empty());  // nobody took the CH340's port
}

TEST(PortSurvey, TheAdapterBrlttyTookIsToldWithWhatToDo) {
    CFakeSystem system;
    system.Process(77, "brltty", {});
    const PortSurvey survey = SurveyPorts(system.Roots());
    EXPECT_TRUE(survey.brlttyRunning);
    ASSERT_EQ(survey.portless.size(), 1u);
    EXPECT_EQ(Described(system, survey.portless[0]), " usb=1a86:7523 product=USB2.0-Serial");
    EXPECT_EQ(PortlessNotes(survey),
              (std::vector<std::string>{
                  "brltty is running and has taken the USB serial adapter 1a86:7523 (USB2.0-Serial) for a braille "
                  "display, so it has no port; where no braille display is used, remove brltty (sudo apt remove "
                  "brltty) and plug the adapter in again"}));
}

TEST(PortSurvey, TheNotesOfAPortHeldAndProbed) {
    CFakeSystem system;
    const PortSurvey survey = SurveyPorts(system.Roots());
    const PortInfo* acm = FindPort(survey, system.At("dev/ttyACM0"));
    ASSERT_NE(acm, nullptr);
    const std::vector<std::string> notes = PortNotes(*acm, survey);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(system.Plain(notes[0]), "/dev/ttyACM0 is open in ModemManager (pid 812): the board's answers may go there");
    EXPECT_EQ(system.Plain(notes[1]),
              "ModemManager is running: it probes CDC-ACM ports such as /dev/ttyACM0 when they appear (it sends them "
              "AT commands and holds them a while); keep it away from the adapter with a udev rule "
              "(ENV{ID_MM_DEVICE_IGNORE}=\"1\", as in the example 60-pelican.rules among Pelican's documentation) "
              "or stop it (sudo systemctl stop ModemManager)");
    // The FTDI adapter on Linux: no latency note (the driver is asked for
    // low latency when the port opens), only its holder.
    const PortInfo* ftdi = FindPort(survey, system.At("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0"));
    ASSERT_NE(ftdi, nullptr);
    EXPECT_EQ(PortNotes(*ftdi, survey).size(), 1u);
}

TEST(PortSurvey, AMachineWithoutSerialPorts) {
    CTempDir empty;
    const PortSurvey survey = SurveyPorts(SystemRoots{empty.File("sys"), empty.File("dev"), empty.File("proc"), kSelf});
    EXPECT_TRUE(survey.ports.empty());
    EXPECT_FALSE(survey.modemManagerRunning);
}

}  // namespace
}  // namespace pelican::test
