#include "link/PortSelector.h"

#include <algorithm>
#include <cctype>

#include "link/PortNotes.h"
#include "sys/Text.h"

namespace pelican {
namespace {

// One to four hexadecimal digits.
bool ParseUsbId(const std::string& text, uint16_t& id) {
    if (text.empty() || text.size() > 4) return false;
    unsigned value = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return false;
        value = value << 4 | static_cast<unsigned>(digit);
    }
    id = static_cast<uint16_t>(value);
    return true;
}

bool SameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

std::string Listed(const std::vector<PortInfo>& ports) {
    std::string text;
    for (const PortInfo& port : ports) {
        if (!text.empty()) text += ", ";
        text += CandidateText(port);
    }
    return text;
}

}  // namespace

bool CPortSelector::Parse(const std::string& text, CPortSelector& selector, std::string& error) {
    selector = CPortSelector();
    selector.m_text = text;
    if (text.rfind("serial:", 0) == 0) {
        selector.m_kind = Kind::Serial;
        selector.m_serial = text.substr(7);
        if (selector.m_serial.empty()) {
            error = "serial: needs the adapter's serial number, e.g. serial:A6008isP";
            return false;
        }
        return true;
    }
    if (text.rfind("usb:", 0) != 0) return true;
    selector.m_kind = Kind::Usb;
    // usb:VID:PID, then everything after the next colon is the serial number.
    const std::string rest = text.substr(4);
    const size_t first = rest.find(':');
    const size_t second = first == std::string::npos ? std::string::npos : rest.find(':', first + 1);
    const bool ids = first != std::string::npos && ParseUsbId(rest.substr(0, first), selector.m_vendorId) &&
                     ParseUsbId(rest.substr(first + 1, second == std::string::npos ? std::string::npos
                                                                                 : second - first - 1),
                                selector.m_productId);
    if (second != std::string::npos) selector.m_serial = rest.substr(second + 1);
    if (!ids || (second != std::string::npos && selector.m_serial.empty())) {
        error = "usb: needs the adapter's vendor and product id in hexadecimal, and perhaps its serial number: "
                "usb:VID:PID or usb:VID:PID:SERIAL, e.g. usb:0403:6001";
        return false;
    }
    return true;
}

bool CPortSelector::Matches(const PortInfo& port) const {
    switch (m_kind) {
        case Kind::Name: return port.path == m_text;
        case Kind::Serial: return !port.serialNumber.empty() && SameNoCase(port.serialNumber, m_serial);
        case Kind::Usb:
            return port.usb && port.vendorId == m_vendorId && port.productId == m_productId &&
                   (m_serial.empty() || SameNoCase(port.serialNumber, m_serial));
    }
    return false;
}

std::vector<PortInfo> CPortSelector::Matching(const PortSurvey& survey) const {
    std::vector<PortInfo> found;
    std::copy_if(survey.ports.begin(), survey.ports.end(), std::back_inserter(found),
                 [this](const PortInfo& port) { return Matches(port); });
    return found;
}

bool CPortSelector::Resolve(const PortSurvey& survey, std::string& path, std::string& why) const {
    if (IsName()) {
        path = m_text;
        return true;
    }
    const std::vector<PortInfo> found = Matching(survey);
    if (found.size() == 1) {
        path = found.front().path;
        return true;
    }
    if (!found.empty()) {
        why = std::to_string(found.size()) + " ports match " + m_text + ": " + Listed(found) +
              (m_serial.empty() ? "; add the serial number of the one to use (usb:VID:PID:SERIAL)"
                                : "; name the one to use by its path");
        return false;
    }
    std::vector<PortInfo> usb;
    std::copy_if(survey.ports.begin(), survey.ports.end(), std::back_inserter(usb),
                 [](const PortInfo& port) { return port.usb; });
    why = "no port matches " + m_text +
          (usb.empty() ? std::string("; no USB serial port is present") : "; USB serial ports present: " + Listed(usb));
    return false;
}

}  // namespace pelican
