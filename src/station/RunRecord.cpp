#include "station/RunRecord.h"

#include <cstdio>

#include "station/JsonLine.h"
#include "commands/CheckMemorryCmd.h"

namespace pelican {
namespace {

std::string Hex(uint32_t address) {
    return CCheckMemorryCmd::AddressToHex(address);
}

std::string SerialText(const CRunRecord::Serial& serial) {
    const std::string bytes = CRunRecord::SerialBytesHex(serial);
    return CJsonLine()
        .AddJson("value", std::to_string(serial.value))
        .Add("address", Hex(serial.address))
        .Add("format", serial.format)
        .Add("bytes", bytes)
        .Text();
}

std::string Array(const std::vector<std::string>& objects) {
    std::string text = "[";
    for (size_t i = 0; i < objects.size(); ++i) {
        if (i > 0) text += ',';
        text += objects[i];
    }
    return text + "]";
}

}  // namespace

std::string CRunRecord::Text() const {
    CJsonLine line;
    line.Add("time", time).Add("host", host).Add("port", port);
    if (!usbSerial.empty()) line.Add("usb_serial", usbSerial);
    line.Add("file", file).Add("sha256", sha256);
    line.AddJson("ranges", RangesJson());
    line.AddJson("actions", ActionsJson());
    if (version) line.Add("version", *version);
    if (status) line.AddJson("status", StatusJson());
    if (numbered) {
        line.AddJson("serial", serial ? SerialText(*serial) : std::string("null"));
    }
    line.Add("outcome", outcome).Add("exit", static_cast<int64_t>(exit));
    return line.Text();
}

std::string CRunRecord::RangesJson() const {
    std::vector<std::string> objects;
    for (const Range& range : ranges)
        objects.push_back(CJsonLine()
                              .Add("action", range.action)
                              .Add("title", range.title)
                              .Add("start", Hex(range.start))
                              .Add("end", Hex(range.end))
                              .Add("pages", static_cast<int64_t>(range.pages))
                              .Add("due", static_cast<int64_t>(range.due))
                              .Add("outcome", range.outcome)
                              .Text());
    return Array(objects);
}

std::string CRunRecord::ActionsJson() const {
    std::vector<std::string> objects;
    for (const Action& action : actions)
        objects.push_back(CJsonLine()
                              .Add("action", action.name)
                              .Add("outcome", action.outcome)
                              .Add("ms", static_cast<int64_t>(action.milliseconds))
                              .Text());
    return Array(objects);
}

std::string CRunRecord::StatusJson() const {
    if (!status) return std::string();
    // Appended piece by piece: GCC 12 at -O3 takes "[" + text for an
    // overlapping copy.
    std::string bytes = "[";
    bytes += std::to_string((*status)[0]);
    bytes += ',';
    bytes += std::to_string((*status)[1]);
    bytes += ']';
    return bytes;
}

std::string CRunRecord::SerialBytesHex(const Serial& serial) {
    std::string bytes;
    for (const uint8_t byte : serial.bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", byte);
        bytes += hex;
    }
    return bytes;
}

std::string CRunRecord::TakenText(const Serial& taken) const {
    CJsonLine line;
    line.Add("time", time).Add("host", host).Add("port", port);
    if (!usbSerial.empty()) line.Add("usb_serial", usbSerial);
    return line.AddJson("taken", SerialText(taken)).Text();
}

}  // namespace pelican
