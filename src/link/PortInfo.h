#pragma once
// What identifies a serial port without opening it (opening can reset a
// board through DTR): its name, for a USB adapter the adapter's ids and
// strings, and the programs that have it open. Each platform fills it from
// its own sources (Linux: sysfs, /dev/serial/by-id and /proc; Windows:
// SetupAPI); SurveyPorts is declared here and defined by each back end.
#include <cstdint>
#include <string>
#include <vector>

namespace pelican {

// A process that has the port open.
struct PortHolder {
    std::string program;  // its name as the system reports it ("minicom")
    int pid = 0;

    bool operator==(const PortHolder&) const = default;
};

struct PortInfo {
    // The name to open: /dev/ttyUSB0, COM5.
    std::string path;
    // A name that stays with the adapter when ports renumber
    // (/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0).
    std::string byId;
    // A USB adapter, and the ids and strings it reports.
    bool usb = false;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    // The driver that serves the port (ftdi_sio, cdc_acm, usbser).
    std::string driver;
    // The name the system shows for the port (Windows: "USB Serial Port (COM5)").
    std::string friendlyName;
    // An FTDI adapter's latency timer in milliseconds where the system keeps
    // it and Pelican cannot lower it for the run itself (Windows); 0 otherwise.
    int latencyTimerMs = 0;
    // Other programs that have the port open, as far as this user can see.
    std::vector<PortHolder> holders;
};

// The serial ports of this machine, and what else bears on using them.
struct PortSurvey {
    std::vector<PortInfo> ports;  // in name order
    // ModemManager probes CDC-ACM ports when they appear.
    bool modemManagerRunning = false;
    // brltty takes some USB serial bridges for braille displays; those it
    // took are present as USB devices without a port (path empty).
    bool brlttyRunning = false;
    std::vector<PortInfo> portless;
};

// This machine's ports (per platform).
PortSurvey SurveyPorts();
// The name a port has in the survey: on Linux COM1 is /dev/ttyS0 and a link
// names the device it points to; on Windows COM names are in capitals.
std::string CanonicalPortName(const std::string& name);

}  // namespace pelican
