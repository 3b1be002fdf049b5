#include "station/BatchOptions.h"

namespace pelican {

const std::vector<std::string>& BatchActionNames() {
    static const std::vector<std::string> names = {"load",    "status", "version", "setting",
                                                   "erase",   "blank",  "program", "read",
                                                   "epr",     "bpr",    "download", "dump"};
    return names;
}

bool ParseHexAddress(const std::string& text, uint32_t& address) {
    size_t pos = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    if (pos == text.size() || text.size() - pos > 8) return false;
    uint32_t value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        const int digit = c >= '0' && c <= '9' ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    if (value > 0xFFFFFF) return false;
    address = value;
    return true;
}

}  // namespace pelican
