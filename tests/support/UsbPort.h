#pragma once
// A USB serial port as the port survey reports it, for the tests of what is
// made of the survey (names, notes, the port choice, --list-ports).
#include <cstdint>
#include <string>

#include "link/PortInfo.h"

namespace pelican::test {

inline PortInfo UsbPort(const std::string& path, uint16_t vendor, uint16_t product, const std::string& serial) {
    PortInfo port;
    port.path = path;
    port.usb = true;
    port.vendorId = vendor;
    port.productId = product;
    port.serialNumber = serial;
    return port;
}

}  // namespace pelican::test
