#include "cli/PortListing.h"

#include <iostream>

#include "station/JsonLine.h"
#include "link/PortNotes.h"

namespace pelican {
namespace {

// usb:VID:PID, with the serial number when the adapter has one: what
// --port takes to find this adapter again wherever it is plugged in.
std::string SpecOf(const PortInfo& port) {
    return "usb:" + UsbIds(port) + (port.serialNumber.empty() ? std::string() : ":" + port.serialNumber);
}

std::string HoldersText(const PortInfo& port) {
    std::string text;
    for (const PortHolder& holder : port.holders) {
        if (!text.empty()) text += ", ";
        text += holder.program + " (pid " + std::to_string(holder.pid) + ")";
    }
    return text;
}

std::string JsonPort(const PortInfo& port, const PortSurvey& survey) {
    std::string holders = "[";
    for (const PortHolder& holder : port.holders) {
        if (holders.size() > 1) holders += ',';
        holders += "{\"program\":" + CJsonLine::Quote(holder.program) + ",\"pid\":" + std::to_string(holder.pid) + "}";
    }
    CJsonLine line("port");
    line.Add("path", port.path)
        .Add("label", PortLabel(port))
        .Add("by_id", port.byId)
        .Add("usb", port.usb)
        .Add("vid", port.usb ? HexId(port.vendorId) : std::string())
        .Add("pid", port.usb ? HexId(port.productId) : std::string())
        .Add("manufacturer", port.manufacturer)
        .Add("product", port.product)
        .Add("serial", port.serialNumber)
        .Add("driver", port.driver)
        .Add("friendly_name", port.friendlyName);
    if (port.latencyTimerMs > 0) line.Add("latency_timer_ms", static_cast<int64_t>(port.latencyTimerMs));
    std::vector<std::string> notes;
    for (std::string note : {ModemManagerNote(port, survey), LatencyNote(port)})
        if (!note.empty()) notes.push_back(std::move(note));
    return line.AddJson("holders", holders + "]").Add("notes", notes).Text();
}

void TextPort(const PortInfo& port, const PortSurvey& survey, std::vector<std::string>& lines) {
    const std::string label = PortLabel(port);
    lines.push_back(label.empty() ? port.path : port.path + "  " + label);
    if (port.usb) lines.push_back("  usb: " + UsbIds(port) + " (--port " + SpecOf(port) + ")");
    if (!port.byId.empty()) lines.push_back("  by-id: " + port.byId);
    if (!port.driver.empty()) lines.push_back("  driver: " + port.driver);
    if (!port.friendlyName.empty()) lines.push_back("  name: " + port.friendlyName);
    if (port.latencyTimerMs > 0) lines.push_back("  latency timer: " + std::to_string(port.latencyTimerMs) + " ms");
    if (!port.holders.empty()) lines.push_back("  open in: " + HoldersText(port));
    for (const std::string& note : {ModemManagerNote(port, survey), LatencyNote(port)})
        if (!note.empty()) lines.push_back("  note: " + note);
}

}  // namespace

std::vector<std::string> PortListingLines(const PortSurvey& survey, bool json) {
    std::vector<std::string> lines;
    for (const PortInfo& port : survey.ports) {
        if (json)
            lines.push_back(JsonPort(port, survey));
        else
            TextPort(port, survey, lines);
    }
    if (!json && survey.ports.empty()) lines.push_back("no serial ports found");
    for (const std::string& note : PortlessNotes(survey))
        lines.push_back(json ? CJsonLine("note").Add("text", note).Text() : "note: " + note);
    return lines;
}

int ListPorts(bool json) {
    for (const std::string& line : PortListingLines(SurveyPorts(), json)) std::cout << line << '\n';
    std::cout << std::flush;
    return 0;
}

}  // namespace pelican
