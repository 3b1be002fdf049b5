#include "link/HardwareId.h"

#include <cctype>
#include <vector>

#include "sys/Text.h"

namespace pelican {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The four hexadecimal digits after key ("VID_"), where key starts the id's
// field (after \, & or + or at the start).
bool FieldValue(const std::string& upper, const std::string& key, uint16_t& value) {
    for (size_t at = upper.find(key); at != std::string::npos; at = upper.find(key, at + 1)) {
        const bool starts = at == 0 || upper[at - 1] == '\\' || upper[at - 1] == '&' || upper[at - 1] == '+';
        if (!starts || at + key.size() + 4 > upper.size()) continue;
        unsigned result = 0;
        bool digits = true;
        for (size_t i = 0; i < 4 && digits; ++i) {
            const int digit = HexDigit(upper[at + key.size() + i]);
            digits = digit >= 0;
            result = result << 4 | static_cast<unsigned>(digit < 0 ? 0 : digit);
        }
        if (!digits) continue;
        value = static_cast<uint16_t>(result);
        return true;
    }
    return false;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t begin = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, begin)) {
        parts.push_back(text.substr(begin, at - begin));
        begin = at + 1;
    }
    parts.push_back(text.substr(begin));
    return parts;
}

}  // namespace

bool ParseUsbIds(const std::string& id, uint16_t& vendorId, uint16_t& productId) {
    const std::string upper = Upper(id);
    uint16_t vendor = 0;
    uint16_t product = 0;
    if (!FieldValue(upper, "VID_", vendor) || !FieldValue(upper, "PID_", product)) return false;
    vendorId = vendor;
    productId = product;
    return true;
}

bool IsInterfaceOfComposite(const std::string& instanceId) {
    const std::vector<std::string> parts = Split(instanceId, '\\');
    return parts.size() == 3 && Upper(parts[1]).find("&MI_") != std::string::npos;
}

std::string SerialOfInstanceId(const std::string& instanceId) {
    const std::vector<std::string> parts = Split(instanceId, '\\');
    if (parts.size() != 3) return std::string();
    const std::string bus = Upper(parts[0]);
    if (bus == "FTDIBUS") {
        // VID_0403+PID_6001+A6008ISPA: the adapter's number and the channel.
        const std::vector<std::string> fields = Split(parts[1], '+');
        if (fields.size() != 3 || fields[2].size() < 2 || fields[2].find('&') != std::string::npos)
            return std::string();
        const char channel = fields[2].back();
        return channel >= 'A' && channel <= 'H' ? fields[2].substr(0, fields[2].size() - 1) : fields[2];
    }
    // Other buses (ACPI, ROOT) number their devices, not the adapters.
    if (bus != "USB" || IsInterfaceOfComposite(instanceId)) return std::string();
    // A number Windows made up (from the port the device is plugged into)
    // has & in it; a device's own number has not.
    if (parts[2].empty() || parts[2].find('&') != std::string::npos) return std::string();
    return parts[2];
}

}  // namespace pelican
