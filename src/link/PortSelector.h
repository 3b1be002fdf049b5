#pragma once
// A port named by what the adapter is rather than where the system put it:
// "usb:VID:PID", "usb:VID:PID:SERIAL" or "serial:SERIAL", so that a fixture
// stays right when ports renumber. Any other text names a port as it is.
#include <string>
#include <vector>

#include "link/PortInfo.h"

namespace pelican {

class CPortSelector {
public:
    // False, with the reason, for a text that starts like such a name but is not
    // one ("usb:0403", "usb:xyz:6001", "serial:"). Any other text is a port
    // name and is taken as it is.
    static bool Parse(const std::string& text, CPortSelector& selector, std::string& error);

    // True for a plain port name (nothing to look up).
    bool IsName() const { return m_kind == Kind::Name; }
    const std::string& Text() const { return m_text; }
    // Whether the port is one the selector names. Serial numbers are compared
    // in either letter case: Windows reports them in capitals.
    bool Matches(const PortInfo& port) const;
    // The ports of survey that the selector names.
    std::vector<PortInfo> Matching(const PortSurvey& survey) const;
    // The one port of survey that the selector names: true with its path; else
    // false with why, the candidates listed ("no port matches usb:0403:6001;
    // USB ports present: ...", "2 ports match ...: ...").
    bool Resolve(const PortSurvey& survey, std::string& path, std::string& why) const;

private:
    enum class Kind { Name, Usb, Serial };
    Kind m_kind = Kind::Name;
    std::string m_text;
    uint16_t m_vendorId = 0;
    uint16_t m_productId = 0;
    std::string m_serial;  // empty: any
};

}  // namespace pelican
