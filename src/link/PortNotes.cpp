#include "link/PortNotes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pelican {
namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool ContainsNoCase(const std::string& text, const std::string& part) {
    if (part.empty()) return true;
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (SameNoCase(text.substr(i, part.size()), part)) return true;
    return false;
}

// "USB Serial Port (COM5)" without the port it names: the list shows the
// port beside it already.
std::string WithoutPortName(const std::string& name, const std::string& port) {
    const std::string suffix = " (" + port + ")";
    if (name.size() > suffix.size() && SameNoCase(name.substr(name.size() - suffix.size()), suffix))
        return name.substr(0, name.size() - suffix.size());
    return name;
}

}  // namespace

std::string HexId(uint16_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(id));
    return text;
}

std::string UsbIds(const PortInfo& port) {
    return port.usb ? HexId(port.vendorId) + ":" + HexId(port.productId) : std::string();
}

std::string PortLabel(const PortInfo& port) {
    std::string name = port.product;
    if (name.empty()) name = WithoutPortName(port.friendlyName, port.path);
    // The maker once: many products carry it in their own name already.
    if (!port.manufacturer.empty() && !ContainsNoCase(name, port.manufacturer))
        name = name.empty() ? port.manufacturer : name + " (" + port.manufacturer + ")";
    if (!port.serialNumber.empty()) {
        name += name.empty() ? "serial " : ", serial ";
        name += port.serialNumber;
    }
    return name;
}

std::map<std::string, std::string> PortLabels(const PortSurvey& survey, const std::vector<std::string>& ports) {
    std::map<std::string, std::string> labels;
    for (const std::string& name : ports) {
        const PortInfo* port = FindPort(survey, name);
        if (port == nullptr) port = FindPort(survey, CanonicalPortName(name));
        if (port == nullptr) continue;
        if (std::string label = PortLabel(*port); !label.empty()) labels.emplace(name, std::move(label));
    }
    return labels;
}

std::string CandidateText(const PortInfo& port) {
    std::string details = UsbIds(port);
    if (!port.serialNumber.empty()) {
        details += details.empty() ? "serial " : ", serial ";
        details += port.serialNumber;
    }
    return details.empty() ? port.path : port.path + " (" + details + ")";
}

// "minicom (pid 4242) and screen (pid 4301)".
static std::string HolderList(const std::vector<PortHolder>& holders) {
    std::string text;
    for (size_t i = 0; i < holders.size(); ++i) {
        if (i > 0) text += i + 1 == holders.size() ? " and " : ", ";
        text += holders[i].program + " (pid " + std::to_string(holders[i].pid) + ")";
    }
    return text;
}

std::string HoldersNote(const PortInfo& port) {
    if (port.holders.empty()) return std::string();
    return port.path + " is open in " + HolderList(port.holders) + ": the board's answers may go there";
}

std::string PortInUseText(const std::string& name, const PortSurvey& survey) {
    const PortInfo* port = FindPort(survey, name);
    if (port == nullptr) port = FindPort(survey, CanonicalPortName(name));
    const std::string who = port != nullptr && !port->holders.empty() ? HolderList(port->holders) : "another program";
    return name + " is in use by " + who;
}

std::string ModemManagerNote(const PortInfo& port, const PortSurvey& survey) {
    if (!survey.modemManagerRunning || port.driver != "cdc_acm") return std::string();
    return "ModemManager is running: it probes CDC-ACM ports such as " + port.path +
           " when they appear (it sends them AT commands and holds them a while); keep it away from the adapter "
           "with a udev rule (ENV{ID_MM_DEVICE_IGNORE}=\"1\", as in the example 60-pelican.rules among "
           "Pelican's documentation) or stop it (sudo systemctl stop ModemManager)";
}

std::string LatencyNote(const PortInfo& port) {
    if (port.vendorId != 0x0403 || port.latencyTimerMs <= 1) return std::string();
    std::string where = WithoutPortName(port.friendlyName, port.path);
    if (where.empty()) where = "the port";
    return port.path + " is an FTDI adapter whose latency timer is " + std::to_string(port.latencyTimerMs) +
           " ms: it holds the end of every reply that long, which makes a page read at 115200 bps about "
           "70 % slower; set it to 1 ms in Device Manager: Ports (COM & LPT), " + where + " (" + port.path +
           "), Properties, Port Settings, Advanced, Latency Timer (msec)";
}

std::vector<std::string> PortNotes(const PortInfo& port, const PortSurvey& survey) {
    std::vector<std::string> notes;
    for (std::string note : {HoldersNote(port), ModemManagerNote(port, survey), LatencyNote(port)})
        if (!note.empty()) notes.push_back(std::move(note));
    return notes;
}

std::vector<std::string> PortlessNotes(const PortSurvey& survey) {
    std::vector<std::string> notes;
    if (!survey.brlttyRunning) return notes;
    for (const PortInfo& adapter : survey.portless) {
        std::string name = PortLabel(adapter);
        notes.push_back("brltty is running and has taken the USB serial adapter " + UsbIds(adapter) +
                        (name.empty() ? std::string() : " (" + name + ")") +
                        " for a braille display, so it has no port; where no braille display is used, remove "
                        "brltty (sudo apt remove brltty) and plug the adapter in again");
    }
    return notes;
}

bool IsBrailleBridge(uint16_t vendorId, uint16_t productId) {
    static constexpr struct {
        uint16_t vendor;
        uint16_t product;
    } kBridges[] = {
        {0x1a86, 0x7523},  // WCH CH340/CH341
        {0x10c4, 0xea60},  // Silicon Labs CP2102/CP2104 and kin
        {0x10c4, 0xea80},  // Silicon Labs CP2110
        {0x0403, 0x6001},  // FTDI FT232
    };
    return std::any_of(std::begin(kBridges), std::end(kBridges),
                       [&](const auto& bridge) { return bridge.vendor == vendorId && bridge.product == productId; });
}

const PortInfo* FindPort(const PortSurvey& survey, const std::string& path) {
    // COM names are the same in any letter case; device paths are not.
    const bool com = path.size() > 3 && SameNoCase(path.substr(0, 3), "COM");
    for (const PortInfo& port : survey.ports)
        if (port.path == path || (!port.byId.empty() && port.byId == path) || (com && SameNoCase(port.path, path)))
            return &port;
    return nullptr;
}

}  // namespace pelican
