#pragma once
// The USB ids and the serial number inside the identifiers Windows gives a
// device: hardware ids ("USB\VID_0403&PID_6001&REV_0600",
// "FTDIBUS\COMPORT&VID_0403&PID_6001") and device instance ids
// ("USB\VID_2341&PID_0043\85734323430351F0B0E1",
// "FTDIBUS\VID_0403+PID_6001+A6008ISPA\0000"). Plain text work, so that it is
// tested wherever the tests run.
#include <cstdint>
#include <string>

namespace pelican {

// The vendor and product id in an id that names them (VID_xxxx, PID_xxxx,
// joined by & or +); false when it does not.
bool ParseUsbIds(const std::string& id, uint16_t& vendorId, uint16_t& productId);

// The serial number a device instance id carries, or empty: Windows makes
// up an instance id with & in it for a device without a serial number, and
// the interface of a composite device (MI_xx) carries its parent's
// number, not one of its own. FTDI's bus driver adds its channel letter to
// the adapter's number ("A6008ISP" + "A").
std::string SerialOfInstanceId(const std::string& instanceId);

// True for the instance id of one interface of a composite USB device
// ("USB\VID_1FC9&PID_0143&MI_00\..."): its serial number is its parent's.
bool IsInterfaceOfComposite(const std::string& instanceId);

}  // namespace pelican
